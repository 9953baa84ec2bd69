#include "Engine/Core/Gm/GmResCollector.h"

#include "Engine/Core/Common/GeCrc32.h"
#include "Engine/Core/Common/GeLog.h"
#include "Engine/Core/Common/GePath.h"
#include "Engine/Core/Gm/GmMaterial.h"
#include "Engine/Core/Gm/GmMesh.h"
#include "Engine/Core/Gm/GmShaderPass.h"
#include "Engine/Core/Gm/GmTexture.h"
#include "Engine/Core/Gm/GmVideoDecoder.h"

#include <strings.h>

CGmResCollector* g_pGmResCollector = nullptr;

namespace {

GmResourceMakers g_makers;

// The placeholder sound while no sound library has installed its makers: a
// plain resource of the sound sub-TypeId that holds nothing.
class CGmSilentSoundData : public CGeResource {
public:
    CGmSilentSoundData() { subTypeId = GE_RES_SOUND_DATA; }
};

uint32_t KindOfSubType(uint16_t subTypeId)
{
    switch (subTypeId) {
    case GE_RES_TEXTURE:
        return GM_RES_KIND_TEXTURE;
    case GE_RES_VIDEO:
        return GM_RES_KIND_VIDEO;
    case GE_RES_MESH:
        return GM_RES_KIND_MESH;
    case GE_RES_MESH_RESOURCE:
        return GM_RES_KIND_MESH_RESOURCE;
    case GE_RES_ANIM_TRACK:
        return GM_RES_KIND_ANIM_TRACK;
    case GE_RES_MATERIAL:
        return GM_RES_KIND_MATERIAL;
    case GE_RES_SOUND_DATA:
        return GM_RES_KIND_SOUND;
    default:
        return GM_RES_KIND_COUNT;
    }
}

// dir/base followed by the extension; a name without a directory part gives
// base and the extension alone (pack names never begin with "./").
CGeString Candidate(const CGeString& key, const char* extension)
{
    const CGeString base = GetPathBaseName(key);
    if (CGeString::FindLastOf(key, "/") < 0)
        return base + extension;
    return GetPathDirectory(key) + "/" + base + extension;
}

// The first of the candidates with data; {"", null, 0} when none has.
CGeFileData ReadFirstCandidate(const CGeString& key, const char* const* extensions, uint32_t n)
{
    CGeFileData file;
    for (uint32_t i = 0; i < n && !file.size; ++i) {
        FreeFileData(file);
        file = LoadFileData(Candidate(key, extensions[i]).c_str(), false);
    }
    return file;
}

// The cached resource of the key with one more reference, or null.
CGeResource* HandOutCached(uint32_t kind, const CGeString& key)
{
    if (!g_pGmResCollector)
        return nullptr;
    CGeResource* resource = g_pGmResCollector->Lookup(kind, key);
    if (resource) {
        resource->AddRef();
        resource->state = GE_RES_STATE_HANDED_OUT_AGAIN;
    }
    return resource;
}

void Cache(uint32_t kind, const CGeString& key, CGeResource* resource)
{
    if (g_pGmResCollector)
        g_pGmResCollector->Register(kind, key, resource);
}

} // namespace

// ---------------------------------------------------------------------------
// CGmResTable

uint32_t CGmResTable::BucketOf(const CGeString& key)
{
    return Crc32(key.Length(), key.c_str()) & 0x7FF;
}

void CGmResTable::Init(uint32_t count)
{
    Destroy();
    buckets = new Bucket[count];
    bucketCount = count;
    entryCount = 0;
    firstBlockSize = kFirstBlockSize;
    growSize = kGrowSize;
    for (uint32_t i = 0; i < count; ++i)
        buckets[i].pool.cellsPerBlock = growSize;
}

CGmResEntry* CGmResTable::Find(const CGeString& key) const
{
    const uint32_t bucket = BucketOf(key);
    if (bucket >= bucketCount)
        return nullptr;
    for (Bucket::Node* node = buckets[bucket].head; node; node = node->next) {
        if (node->value.name == key)
            return &node->value;
    }
    return nullptr;
}

uint32_t CGmResTable::Insert(const CGeString& key, CGeResource* resource)
{
    const uint32_t bucket = BucketOf(key);
    if (bucket >= bucketCount)
        return bucket;
    Bucket& list = buckets[bucket];
    if (!list.pool.first) {
        list.pool.InitFirstBlock(firstBlockSize);
        list.pool.cellsPerBlock = growSize;
    }
    // Names are unique, so where the entry goes in its bucket does not change
    // any look-up's result.
    list.PushBack(CGmResEntry{key, resource});
    ++entryCount;
    return bucket;
}

void CGmResTable::Remove(const CGeString& key)
{
    const uint32_t bucket = BucketOf(key);
    if (bucket >= bucketCount)
        return;
    Bucket& list = buckets[bucket];
    for (Bucket::Node* node = list.head; node; node = node->next) {
        if (node->value.name == key) {
            list.Remove(node);
            --entryCount;
            return;
        }
    }
}

void CGmResTable::Destroy()
{
    delete[] buckets;
    buckets = nullptr;
    bucketCount = 0;
    entryCount = 0;
    firstBlockSize = 0;
    growSize = 0;
}

// ---------------------------------------------------------------------------
// CGmResCollector

CGmResCollector::CGmResCollector()
{
    for (CGmResTable& table : tables)
        table.Init(CGmResTable::kBucketCount);
}

CGmResCollector::~CGmResCollector()
{
    // The tracks still cached lose the collector's reference. A track that
    // dies here unregisters itself and so removes its own entry: the walk
    // takes the next entry first.
    CGmResTable& tracks = tables[GM_RES_KIND_ANIM_TRACK];
    for (uint32_t b = 0; b < tracks.bucketCount; ++b) {
        CGmResTable::Bucket::Node* node = tracks.buckets[b].head;
        while (node) {
            CGmResTable::Bucket::Node* next = node->next;
            CGeResource* track = node->value.resource;
            node->value.resource = nullptr;
            if (track)
                track->Release();
            node = next;
        }
    }
    // Whatever is still registered outlives the collector: it must not call
    // back into it when it is released later.
    for (auto& map : reverse) {
        for (auto* node = map.first; node; node = map.Next(node))
            reinterpret_cast<CGeResource*>(node->key)->collector = nullptr;
    }
    for (int kind = GM_RES_KIND_COUNT - 1; kind >= 0; --kind)
        reverse[kind].Destroy();
    for (int kind = GM_RES_KIND_COUNT - 1; kind >= 0; --kind)
        tables[kind].Destroy();
}

void CGmResCollector::UnregisterResource(CGeResource* resource, uint16_t)
{
    rescollect::Unregister(this, resource);
}

void CGmResCollector::Register(uint32_t kind, const CGeString& key, CGeResource* resource)
{
    resource->collector = this;
    reverse[kind][reinterpret_cast<uintptr_t>(resource)] = key;
    tables[kind].Insert(key, resource);
}

CGeResource* CGmResCollector::Lookup(uint32_t kind, const CGeString& key) const
{
    const CGmResEntry* entry = tables[kind].Find(key);
    return entry ? entry->resource : nullptr;
}

// ---------------------------------------------------------------------------
// rescollect

namespace rescollect {

CGeString NormaliseName(const CGeString& name)
{
    return CGeString::ReplaceAll(ToLowerString(name), "\\", "/");
}

GmResourceMakers SetResourceMakers(const GmResourceMakers& makers)
{
    const GmResourceMakers previous = g_makers;
    g_makers = makers;
    return previous;
}

CGmTexture* LoadTexture(const CGeString& name, bool decodeNow, bool* found, bool diskOnly)
{
    const CGeString key = NormaliseName(name);
    if (CGeResource* cached = HandOutCached(GM_RES_KIND_TEXTURE, key)) {
        if (found)
            *found = true;
        return static_cast<CGmTexture*>(cached);
    }
    CGeFileData file = diskOnly ? ReadWholeFile(key.c_str(), false) : LoadFileData(key.c_str(), false);
    static const char* const kExtensions[] = {".tga", ".gep", ".jpg", ".jpeg", ".dds"};
    if (!file.size) {
        FreeFileData(file);
        file = ReadFirstCandidate(key, kExtensions, 5);
    }
    CGmTexture* texture;
    if (file.size) {
        texture = new CGmTexture(file, decodeNow);
        if (found)
            *found = true;
    } else {
        GeTrace("rescollect::LoadTexture: no file for %s", key.c_str());
        texture = new CGmTexture();
        if (found)
            *found = false;
    }
    FreeFileData(file);
    Cache(GM_RES_KIND_TEXTURE, key, texture);
    return texture;
}

CGmVideoDecoder* LoadVideo(const CGeString& name)
{
    const CGeString key = NormaliseName(name);
    if (CGeResource* cached = HandOutCached(GM_RES_KIND_VIDEO, key))
        return static_cast<CGmVideoDecoder*>(cached);
    CGeFileData file = LoadFileData(key.c_str(), false);
    if (!file.size) {
        FreeFileData(file);
        return nullptr;
    }
    CGmVideoDecoder* video = new CGmVideoDecoder();
    video->Open(file);
    FreeFileData(file);
    Cache(GM_RES_KIND_VIDEO, key, video);
    return video;
}

CGmMesh* LoadMesh(const CGeString& name)
{
    const CGeString key = NormaliseName(name);
    if (CGeResource* cached = HandOutCached(GM_RES_KIND_MESH, key))
        return static_cast<CGmMesh*>(cached);
    static const char* const kExtensions[] = {".gemesh", ".xml"};
    CGeFileData file = ReadFirstCandidate(key, kExtensions, 2);
    if (!file.size) {
        GeTrace("rescollect::LoadMesh: no file for %s", key.c_str());
        FreeFileData(file);
        return nullptr;
    }
    CGmMesh* mesh = new CGmMesh();
    if (!mesh->Load(file)) {
        mesh->Release();
        FreeFileData(file);
        return nullptr;
    }
    FreeFileData(file);
    Cache(GM_RES_KIND_MESH, key, mesh);
    return mesh;
}

CGeResource* LoadMeshResource(const CGeString& name)
{
    const CGeString key = NormaliseName(name);
    if (CGeResource* cached = HandOutCached(GM_RES_KIND_MESH_RESOURCE, key))
        return cached;
    static const char* const kExtensions[] = {".gemesh", ".xml"};
    CGeFileData file = ReadFirstCandidate(key, kExtensions, 2);
    if (!file.size) {
        GeTrace("rescollect::LoadMeshResource: no file for %s", key.c_str());
        FreeFileData(file);
        return nullptr;
    }
    if (!IsSkeletalMeshFile(file) || !g_makers.newMeshResource || !g_makers.loadMeshResource) {
        FreeFileData(file);
        return nullptr;
    }
    CGeResource* resource = g_makers.newMeshResource();
    if (!g_makers.loadMeshResource(resource, file)) {
        resource->Release();
        FreeFileData(file);
        return nullptr;
    }
    FreeFileData(file);
    Cache(GM_RES_KIND_MESH_RESOURCE, key, resource);
    return resource;
}

CGeResource* LoadAnimTrack(const CGeString& name)
{
    const CGeString key = NormaliseName(name);
    if (CGeResource* cached = HandOutCached(GM_RES_KIND_ANIM_TRACK, key))
        return cached;
    static const char* const kExtensions[] = {".geat", ".xml"};
    CGeFileData file = ReadFirstCandidate(key, kExtensions, 2);
    if (!file.size || !g_makers.newTrack || !g_makers.loadTrack) {
        GeTrace("rescollect::LoadAnimTrack: no file for %s", key.c_str());
        FreeFileData(file);
        return nullptr;
    }
    CGeResource* track = g_makers.newTrack();
    if (!g_makers.loadTrack(track, file)) {
        track->Release();
        FreeFileData(file);
        return nullptr;
    }
    const float duration = g_makers.trackDuration ? g_makers.trackDuration(track) : 0.0f;
    if (!(duration > 0.0f)) {
        GeLog(2, "@rescollect@LoadAnimTrack: track is invalid: %s!\n", file.path.c_str());
        track->Release();
        FreeFileData(file);
        return nullptr;
    }
    FreeFileData(file);
    Cache(GM_RES_KIND_ANIM_TRACK, key, track);
    return track;
}

CGmMaterial* LoadMaterial(const CGeString& name)
{
    const CGeString key = NormaliseName(name);
    if (CGeResource* cached = HandOutCached(GM_RES_KIND_MATERIAL, key))
        return static_cast<CGmMaterial*>(cached);
    CGeFileData file = LoadFileData(key.c_str(), false);
    if (!file.size) {
        FreeFileData(file);
        return nullptr;
    }
    CGmShaderPass* material = new CGmShaderPass();
    material->LoadFromXml(file);
    FreeFileData(file);
    Cache(GM_RES_KIND_MATERIAL, key, material);
    return material;
}

CGeResource* CreateSoundData(const CGeString& name)
{
    const CGeString extension = GetPathExtension(name);
    CGeFileData file = LoadFileData(name.c_str(), false);
    uint32_t kind = GM_SOUND_SOURCE_GENERATED;
    if (strcasecmp(extension.c_str(), "wav") == 0) {
        if (file.size) {
            kind = GM_SOUND_SOURCE_WAVE;
        } else {
            FreeFileData(file);
            file = LoadFileData(Candidate(name, ".ogg").c_str(), false);
            if (file.size)
                kind = GM_SOUND_SOURCE_OGG;
        }
    } else if (strcasecmp(extension.c_str(), "ogg") == 0) {
        if (file.size)
            kind = GM_SOUND_SOURCE_OGG;
    }
    if (kind == GM_SOUND_SOURCE_GENERATED)
        GeTrace("rescollect::CreateSoundData: placeholder for %s", name.c_str());
    if (!g_makers.newSoundSource || !g_makers.loadSoundSource) {
        FreeFileData(file);
        return new CGmSilentSoundData();
    }
    CGeResource* source = g_makers.newSoundSource(kind);
    g_makers.loadSoundSource(source, name, file);
    FreeFileData(file); // whatever the source did not take over
    return source;
}

CGeResource* LoadSound(const CGeString& name)
{
    const CGeString key = NormaliseName(name);
    if (CGeResource* cached = HandOutCached(GM_RES_KIND_SOUND, key))
        return cached;
    CGeResource* source = CreateSoundData(key);
    Cache(GM_RES_KIND_SOUND, key, source);
    return source;
}

bool FindAnimTrack(const CGeString& name)
{
    return g_pGmResCollector && g_pGmResCollector->Lookup(GM_RES_KIND_ANIM_TRACK, NormaliseName(name));
}

bool FindSound(const CGeString& name)
{
    return g_pGmResCollector && g_pGmResCollector->Lookup(GM_RES_KIND_SOUND, NormaliseName(name));
}

CGeString GetMeshName(const CGmMesh* mesh)
{
    if (!g_pGmResCollector)
        return CGeString();
    const auto* node = g_pGmResCollector->reverse[GM_RES_KIND_MESH].Find(
        reinterpret_cast<uintptr_t>(static_cast<const CGeResource*>(mesh)));
    return node ? node->value : CGeString();
}

uint32_t SumSoundValues()
{
    if (!g_pGmResCollector || !g_makers.soundSourceCount)
        return 0;
    uint32_t sum = 0;
    const auto& map = g_pGmResCollector->reverse[GM_RES_KIND_SOUND];
    for (auto* node = map.first; node; node = map.Next(node))
        sum += g_makers.soundSourceCount(reinterpret_cast<const CGeResource*>(node->key));
    return sum;
}

void Unregister(CGmResCollector* collector, CGeResource* resource)
{
    const uint32_t kind = KindOfSubType(resource->subTypeId);
    if (kind == GM_RES_KIND_COUNT) {
        GeLog(2, "Unknown resource sub-TypeId: %i\n", int(resource->subTypeId));
        return;
    }
    auto& map = collector->reverse[kind];
    auto* node = map.Find(reinterpret_cast<uintptr_t>(resource));
    if (!node) {
        GeTrace("rescollect::Unregister: resource not registered");
        return;
    }
    const CGeString name = node->value;
    map.Erase(node);
    collector->tables[kind].Remove(name);
}

} // namespace rescollect
