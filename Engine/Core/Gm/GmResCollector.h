// The resource collector: the program-wide cache from resource names to shared
// resources, created by the engine core's start-up (g_pGmResCollector).
//
// Seven kinds, one name table and one reverse map (resource address to name)
// each: textures, videos, static meshes, skeletal mesh resources, joint-
// animation tracks, materials and sound data sources. The first request for a
// name reads the file and builds the object; every later one hands out the
// same object with one more reference. A resource remembers its collector and
// unregisters its name from its destructor, so the next request reads again.
//
// Names are normalised before every look-up: ASCII lower case (the first 1023
// bytes) and '\' turned into '/'. Each kind has its own candidate file names
// (see the Load* functions). Textures and sounds never fail: a missing file
// gives an empty texture or the placeholder sound, and the placeholder is
// cached under the name. The other kinds give null and cache nothing.
//
// Skeletal mesh resources and tracks belong to the animation library and sound
// sources to the sound library; both sit elsewhere in the library order, so
// they tell the collector how to make and fill their objects through
// GmResourceMakers. Until the sound library has done so, a missing-or-any sound
// is a silent placeholder resource of the sound sub-TypeId; until the
// animation library has, mesh resources and tracks are not found.
//
// Resources still registered when the collector is destroyed forget it, so a
// late release does not reach a collector that is gone; the tracks it still
// caches lose the collector's reference (and die with it when that was the
// last one).
#pragma once

#include "Engine/Core/Common/GeFileData.h"
#include "Engine/Core/Common/GeMap.h"
#include "Engine/Core/Common/GePoolList.h"
#include "Engine/Core/Common/GeString.h"
#include "Engine/Core/Gm/GLibLoc/D3d/GmGpuResource.h"

#include <cstdint>

class CGmMaterial;
class CGmMesh;
class CGmTexture;
class CGmVideoDecoder;

// Sub-TypeIds of the collector's kinds (textures 0 and videos 1 are declared
// with their classes).
enum : uint16_t {
    GE_RES_MESH = 4,
    GE_RES_MESH_RESOURCE = 5,
    GE_RES_ANIM_TRACK = 6,
    GE_RES_MATERIAL = 7,
    GE_RES_SOUND_DATA = 8,
};

// Table indexes, in the collector's kind order.
enum : uint32_t {
    GM_RES_KIND_TEXTURE = 0,
    GM_RES_KIND_VIDEO = 1,
    GM_RES_KIND_MESH = 2,
    GM_RES_KIND_MESH_RESOURCE = 3,
    GM_RES_KIND_ANIM_TRACK = 4,
    GM_RES_KIND_MATERIAL = 5,
    GM_RES_KIND_SOUND = 6,
    GM_RES_KIND_COUNT = 7,
};

// Kinds of sound data source CreateSoundData asks for.
enum : uint32_t {
    GM_SOUND_SOURCE_WAVE = 0,
    GM_SOUND_SOURCE_OGG = 1,
    GM_SOUND_SOURCE_GENERATED = 2,
};

// How the libraries that own a kind make and fill its objects. Every member
// may be null: the kind is then handled as described in the lead comment.
struct GmResourceMakers {
    // An empty skeletal mesh resource (sub-TypeId 5, count 1), and filling it
    // from ".gemesh" or GE_MESH data; false when the data cannot be used.
    CGeResource* (*newMeshResource)() = nullptr;
    bool (*loadMeshResource)(CGeResource* meshResource, const CGeFileData& file) = nullptr;
    // An empty joint-animation track (sub-TypeId 6, count 1), filling it from
    // ".geat" or XML data, and its duration in seconds.
    CGeResource* (*newTrack)() = nullptr;
    bool (*loadTrack)(CGeResource* track, const CGeFileData& file) = nullptr;
    float (*trackDuration)(const CGeResource* track) = nullptr;
    // An empty sound data source of a GM_SOUND_SOURCE_* kind (sub-TypeId 8,
    // count 1); its Load, which takes over the file's bytes; and the count the
    // sound manager adds up over all cached sources.
    CGeResource* (*newSoundSource)(uint32_t kind) = nullptr;
    void (*loadSoundSource)(CGeResource* source, const CGeString& name, CGeFileData& file) = nullptr;
    uint32_t (*soundSourceCount)(const CGeResource* source) = nullptr;
};

// One cached name.
struct CGmResEntry {
    CGeString name;
    CGeResource* resource = nullptr; // not owning; null only while the collector is destroyed
};

// A hash table of names: Crc32(name) & 0x7FF picks the bucket, a pooled list
// whose pool gets a first block of 15 entries and then 16 per block.
class CGmResTable {
public:
    using Bucket = CGePoolList<CGmResEntry>;

    static constexpr uint32_t kBucketCount = 2048;
    static constexpr uint32_t kFirstBlockSize = 15;
    static constexpr uint32_t kGrowSize = 16;

    CGmResTable() = default;
    ~CGmResTable() { Destroy(); }
    CGmResTable(const CGmResTable&) = delete;
    CGmResTable& operator=(const CGmResTable&) = delete;

    void Init(uint32_t bucketCount);
    CGmResEntry* Find(const CGeString& key) const;
    // The key must not be in the table; returns the bucket index.
    uint32_t Insert(const CGeString& key, CGeResource* resource);
    // A missing key does nothing.
    void Remove(const CGeString& key);
    void Destroy();
    static uint32_t BucketOf(const CGeString& key);

    Bucket* buckets = nullptr;
    uint32_t bucketCount = 0;
    uint32_t entryCount = 0;
    uint32_t firstBlockSize = kFirstBlockSize;
    uint32_t growSize = kGrowSize;
};

class CGmResCollector : public IGeResourceOwner {
public:
    CGmResCollector();
    ~CGmResCollector() override;
    CGmResCollector(const CGmResCollector&) = delete;
    CGmResCollector& operator=(const CGmResCollector&) = delete;

    void UnregisterResource(CGeResource* resource, uint16_t subTypeId) override;

    // Caches a resource that was just built under its key (count unchanged).
    void Register(uint32_t kind, const CGeString& key, CGeResource* resource);
    // The cached resource of a key, or null; takes no reference.
    CGeResource* Lookup(uint32_t kind, const CGeString& key) const;

    CGmResTable tables[GM_RES_KIND_COUNT];
    CGeMap<uintptr_t, CGeString> reverse[GM_RES_KIND_COUNT];
};

extern CGmResCollector* g_pGmResCollector;

namespace rescollect {

// The normalised key of a name: lower case, '\' to '/'.
CGeString NormaliseName(const CGeString& name);

// Each Load* returns a resource with one reference for the caller.

// Candidates: the name itself (from disk only with diskOnly), then dir/base
// with ".tga", ".gep", ".jpg", ".jpeg" and ".dds"; the first that is not empty
// wins. A bare name has no directory part: "wall.png" tries "wall.tga", not
// "./wall.tga", so that pack names are reached. Never null: with no file an
// empty texture is cached and found is false; a cached texture gives found
// true.
CGmTexture* LoadTexture(const CGeString& name, bool decodeNow = false, bool* found = nullptr, bool diskOnly = false);
// The name only; null when there is no such file. The decoder is cached
// whether or not it could open the video.
CGmVideoDecoder* LoadVideo(const CGeString& name);
// dir/base ".gemesh", then ".xml"; null when neither exists or the mesh
// refuses the file.
CGmMesh* LoadMesh(const CGeString& name);
// As LoadMesh, but only skeletal meshes (IsSkeletalMeshFile); the animation
// library's CGmMeshResource.
CGeResource* LoadMeshResource(const CGeString& name);
// dir/base ".geat", then ".xml"; a track whose duration is not above 0 is
// refused with a log line. The animation library's CGeJointsKeySequence.
CGeResource* LoadAnimTrack(const CGeString& name);
// The name only; a material is cached whether or not its file read cleanly.
CGmMaterial* LoadMaterial(const CGeString& name);
// Never null: a missing file or an unknown extension gives the placeholder.
CGeResource* LoadSound(const CGeString& name);
// A new, uncached source: ".wav" reads the name and then dir/base ".ogg",
// ".ogg" the name; anything not found is the placeholder.
CGeResource* CreateSoundData(const CGeString& name);

bool FindAnimTrack(const CGeString& name);
bool FindSound(const CGeString& name);
// The name a static mesh is cached under, or "".
CGeString GetMeshName(const CGmMesh* mesh);
// The sum of soundSourceCount over the cached sound sources, in address order.
uint32_t SumSoundValues();
void Unregister(CGmResCollector* collector, CGeResource* resource);

// Installs the makers of the other libraries' kinds (program-wide, kept
// across collectors); returns the previous ones.
GmResourceMakers SetResourceMakers(const GmResourceMakers& makers);

} // namespace rescollect
