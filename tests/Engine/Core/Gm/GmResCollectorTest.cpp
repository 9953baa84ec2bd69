// The resource collector over a test pack: candidate names per kind, sharing
// by reference, forgetting on destruction, placeholders, the makers of the
// other libraries' kinds and the collector's teardown.
#include "Engine/Core/Common/GeCrc32.h"
#include "Engine/Core/Common/GeLog.h"
#include "Engine/Core/Gm/GLibLoc/D3d/GmVertexBuffer.h"
#include "Engine/Core/Gm/GmImage.h"
#include "Engine/Core/Gm/GmMaterial.h"
#include "Engine/Core/Gm/GmMesh.h"
#include "Engine/Core/Gm/GmResCollector.h"
#include "Engine/Core/Gm/GmTexture.h"
#include "Engine/Core/Gm/GmVideoDecoder.h"
#include "Engine/Core/Pack/Harvester.h"
#include "ImageFixtures.h"
#include "JpegTestSupport.h"
#include "MeshFixtures.h"
#include "tests/Support/ErrorBoxRecorder.h"
#include "tests/Support/TestTempDir.h"
#include "tools/fpk/FpkWriter.h"

#include <gtest/gtest.h>

#include <map>
#include <memory>
#include <string>
#include <vector>

using imagefixture::Bytes;

namespace {

Bytes Text(const std::string& s)
{
    return Bytes(s.begin(), s.end());
}

// A TGA of width x 1 pixels: the width tells the candidates apart.
Bytes TgaOfWidth(uint32_t width)
{
    imagefixture::TgaSpec spec;
    spec.width = width;
    spec.height = 1;
    spec.pixels.assign(width * 4, 0x80);
    return imagefixture::MakeTga(spec);
}

Bytes GepOfWidth(uint32_t width)
{
    imagefixture::GepSpec spec;
    spec.width = width;
    spec.height = 1;
    spec.pixelCode = 6;
    spec.payload = imagefixture::MakePlane(Bytes(width * 4, 0x40));
    return imagefixture::MakeGep(spec);
}

Bytes JpegOfWidth(int width)
{
    EncodeOptions options;
    return EncodeJpeg(MakeTestImage(width, 8, 3, 7), options);
}

Bytes DdsOfWidth(uint32_t width)
{
    imagefixture::DdsSpec spec;
    spec.width = width;
    spec.height = 4;
    spec.levelData.assign(8 * (width / 4), 0);
    return imagefixture::MakeDds(spec);
}

Bytes SmallGemesh(uint32_t vertices, uint32_t skeletal = 0)
{
    meshfixture::GemeshSpec spec = meshfixture::MakeGrid(1);
    std::vector<float> xyz;
    for (uint32_t i = 0; i < vertices; ++i)
        xyz.insert(xyz.end(), {float(i), float(i % 2), 0.0f});
    meshfixture::SetPositions(spec, xyz);
    spec.indices = {0, 1, 2};
    spec.ranges = {{4, 0, 3, 0, 1}};
    spec.skeletal = skeletal;
    return meshfixture::WriteGemesh(spec);
}

// Counts the fake resources of the makers that are alive.
int g_liveFakes = 0;
float g_trackDuration = 1.0f;
std::vector<uint32_t> g_soundKinds;
std::vector<std::string> g_soundNames;

class FakeResource : public CGeResource {
public:
    FakeResource(uint16_t type, uint32_t value) : value(value)
    {
        subTypeId = type;
        ++g_liveFakes;
    }
    ~FakeResource() override { --g_liveFakes; }
    uint32_t value;
};

GmResourceMakers FakeMakers()
{
    GmResourceMakers makers;
    makers.newMeshResource = []() -> CGeResource* { return new FakeResource(GE_RES_MESH_RESOURCE, 0); };
    makers.loadMeshResource = [](CGeResource*, const CGeFileData& file) { return file.size > 0; };
    makers.newTrack = []() -> CGeResource* { return new FakeResource(GE_RES_ANIM_TRACK, 0); };
    makers.loadTrack = [](CGeResource*, const CGeFileData& file) { return file.size > 1; };
    makers.trackDuration = [](const CGeResource*) { return g_trackDuration; };
    makers.newSoundSource = [](uint32_t kind) -> CGeResource* {
        g_soundKinds.push_back(kind);
        return new FakeResource(GE_RES_SOUND_DATA, 10 + kind);
    };
    makers.loadSoundSource = [](CGeResource*, const CGeString& name, CGeFileData& file) {
        g_soundNames.push_back(name.c_str());
        FreeFileData(file); // takes the bytes over
    };
    makers.soundSourceCount = [](const CGeResource* source) {
        return static_cast<const FakeResource*>(source)->value;
    };
    return makers;
}

class GmResCollector : public ::testing::Test {
protected:
    void SetUp() override
    {
        g_liveFakes = 0;
        g_trackDuration = 1.0f;
        g_soundKinds.clear();
        g_soundNames.clear();
        m_previousMakers = rescollect::SetResourceMakers(FakeMakers());
        g_pGmResCollector = new CGmResCollector();
    }

    void TearDown() override
    {
        delete g_pGmResCollector;
        g_pGmResCollector = nullptr;
        rescollect::SetResourceMakers(m_previousMakers);
        CHarvester::Unmount();
        g_packPath = "";
    }

    // Packs the files and mounts the pack as the game's data.
    void Pack(const std::map<std::string, Bytes>& files)
    {
        for (const auto& [name, bytes] : files)
            dir.Write("tree/" + name, std::string(bytes.begin(), bytes.end()));
        std::string error;
        ASSERT_TRUE(WritePackFromDirectory((dir / "resource.fpk").c_str(), (dir / "tree").c_str(), &error)) << error;
        g_packPath = (dir / "resource.fpk").c_str();
        ASSERT_TRUE(CHarvester::MountSinglePack(g_packPath));
    }

    uint32_t Cached(uint32_t kind) const { return g_pGmResCollector->tables[kind].entryCount; }

    CTestTempDir dir;
    CErrorBoxRecorder errorBoxes;
    GmResourceMakers m_previousMakers;
};

TEST_F(GmResCollector, TableHashesNamesIntoPooledBuckets)
{
    CGmResTable table;
    table.Init(CGmResTable::kBucketCount);
    FakeResource a(GE_RES_TEXTURE, 0), b(GE_RES_TEXTURE, 0);
    const CGeString key("textures/wall.tga");
    EXPECT_EQ(Crc32(key.Length(), key.c_str()) & 0x7FF, table.Insert(key, &a));
    table.Insert("textures/door.tga", &b);
    EXPECT_EQ(2u, table.entryCount);
    ASSERT_NE(nullptr, table.Find(key));
    EXPECT_EQ(&a, table.Find(key)->resource);
    EXPECT_EQ(nullptr, table.Find("textures/wall.tg"));
    // The first block of a bucket holds 15 entries, every further one 16.
    const CGePool<CGmResTable::Bucket::Node>& pool = table.buckets[CGmResTable::BucketOf(key)].pool;
    EXPECT_EQ(15u, pool.total);
    EXPECT_EQ(16u, pool.cellsPerBlock);
    table.Remove(key);
    table.Remove(key);
    EXPECT_EQ(nullptr, table.Find(key));
    EXPECT_EQ(1u, table.entryCount);
}

TEST_F(GmResCollector, TextureNamesAreNormalisedAndShared)
{
    Pack({{"textures/wall.tga", TgaOfWidth(2)}});
    bool found = false;
    CGmTexture* first = rescollect::LoadTexture("Textures\\Wall.TGA", false, &found);
    EXPECT_TRUE(found);
    CGmTexture* second = rescollect::LoadTexture("textures/wall.tga", false, &found);
    EXPECT_EQ(first, second);
    EXPECT_EQ(2, first->refCount);
    EXPECT_EQ(GE_RES_STATE_HANDED_OUT_AGAIN, first->state);
    EXPECT_EQ(2u, first->Image()->width);
    first->Release();
    EXPECT_EQ(1u, Cached(GM_RES_KIND_TEXTURE));
    second->Release();
    // Destroyed: the name is forgotten and the next request reads again.
    EXPECT_EQ(0u, Cached(GM_RES_KIND_TEXTURE));
    CGmTexture* again = rescollect::LoadTexture("textures/wall.tga", false, &found);
    EXPECT_TRUE(found);
    EXPECT_EQ(1, again->refCount);
    again->Release();
}

// Each extension is found when it is the only file; with several, the first
// in the order tga, gep, jpg, jpeg, dds wins. The widths tell which was read.
TEST_F(GmResCollector, TextureCandidatesInOrder)
{
    Pack({{"a/b/only.gep", GepOfWidth(3)},
          {"a/b/only2.jpg", JpegOfWidth(16)},
          {"a/b/only3.jpeg", JpegOfWidth(24)},
          {"a/b/only4.dds", DdsOfWidth(8)},
          {"a/b/picture.jpg", JpegOfWidth(16)},
          {"a/b/picture.jpeg", JpegOfWidth(24)},
          {"a/b/picture.gep", GepOfWidth(5)},
          {"a/b/picture.dds", DdsOfWidth(4)},
          {"a/b/exact.png", TgaOfWidth(7)},
          {"a/b/exact.tga", TgaOfWidth(9)},
          {"bare.tga", TgaOfWidth(6)}});
    struct Case {
        const char* name;
        uint32_t width;
    } cases[] = {
        {"a/b/only.png", 3},   {"a/b/only2.png", 16}, {"a/b/only3.png", 24}, {"a/b/only4.png", 8},
        {"a/b/picture.png", 5},
        // The name itself comes first, even when its content cannot be
        // decoded as what its extension says (a 1 by 1 texture).
        {"A\\B\\Exact.PNG", 1},
        {"bare.png", 6},        // a bare name is found in the pack, not as "./bare.tga"
    };
    for (const Case& c : cases) {
        bool found = false;
        CGmTexture* texture = rescollect::LoadTexture(c.name, true, &found);
        EXPECT_TRUE(found) << c.name;
        EXPECT_EQ(c.width, texture->Image()->width) << c.name;
        texture->Release();
    }
}

TEST_F(GmResCollector, MissingTextureIsAnEmptyCachedTexture)
{
    Pack({{"other.tga", TgaOfWidth(2)}});
    bool found = true;
    CGmTexture* first = rescollect::LoadTexture("missing.png", false, &found);
    ASSERT_NE(nullptr, first);
    EXPECT_FALSE(found);
    CGmTexture* second = rescollect::LoadTexture("MISSING.png", false, &found);
    EXPECT_TRUE(found);
    EXPECT_EQ(first, second);
    first->Release();
    second->Release();
}

TEST_F(GmResCollector, DiskOnlyTexturesIgnoreThePacks)
{
    dir.Write("loose/shot.tga", std::string(reinterpret_cast<const char*>(TgaOfWidth(4).data()), TgaOfWidth(4).size()));
    Pack({{"x.tga", TgaOfWidth(2)}});
    bool found = false;
    CGmTexture* texture = rescollect::LoadTexture((dir / "loose/shot.tga").c_str(), false, &found, true);
    EXPECT_TRUE(found);
    EXPECT_EQ(4u, texture->Image()->width);
    texture->Release();
}

TEST_F(GmResCollector, MeshesPreferGemeshAndRefuseBadFiles)
{
    Bytes broken = SmallGemesh(3);
    meshfixture::PokeLe32(broken, meshfixture::kOffVertexOffset, 0x7FFFFFF0);
    Pack({{"meshes/door.gemesh", SmallGemesh(4)},
          {"meshes/door.xml", Text(meshfixture::WriteGeMeshXml({"XYZ=\"0 0 0\"", "XYZ=\"1 0 0\"", "XYZ=\"0 1 0\""},
                                                               {{0, 1, 2}}))},
          {"meshes/xmlonly.xml", Text(meshfixture::WriteGeMeshXml({"XYZ=\"0 0 0\"", "XYZ=\"1 0 0\"",
                                                                   "XYZ=\"0 1 0\""},
                                                                  {{0, 1, 2}}))},
          {"meshes/broken.gemesh", broken}});
    CGmMesh* door = rescollect::LoadMesh("Meshes/Door.xml");
    ASSERT_NE(nullptr, door);
    EXPECT_EQ(4u, door->vertexBuffer->Count()); // the .gemesh file
    EXPECT_EQ(CGeString("meshes/door.xml"), rescollect::GetMeshName(door));
    CGmMesh* same = rescollect::LoadMesh("meshes\\door.XML");
    EXPECT_EQ(door, same);
    same->Release();
    door->Release();
    EXPECT_EQ(0u, Cached(GM_RES_KIND_MESH));

    CGmMesh* xmlOnly = rescollect::LoadMesh("meshes/xmlonly");
    ASSERT_NE(nullptr, xmlOnly);
    EXPECT_EQ(3u, xmlOnly->vertexBuffer->Count());
    xmlOnly->Release();

    EXPECT_EQ(nullptr, rescollect::LoadMesh("meshes/broken"));
    EXPECT_EQ(nullptr, rescollect::LoadMesh("meshes/absent"));
    EXPECT_EQ(0u, Cached(GM_RES_KIND_MESH));
    CGmMesh loose;
    EXPECT_EQ(CGeString(""), rescollect::GetMeshName(&loose));
}

TEST_F(GmResCollector, MeshResourcesAreSkeletalOnly)
{
    Pack({{"chars/hero.gemesh", SmallGemesh(3, 1)}, {"chars/rock.gemesh", SmallGemesh(3, 0)}});
    EXPECT_EQ(nullptr, rescollect::LoadMeshResource("chars/rock"));
    EXPECT_EQ(0u, Cached(GM_RES_KIND_MESH_RESOURCE));
    CGeResource* hero = rescollect::LoadMeshResource("chars/hero.xml");
    ASSERT_NE(nullptr, hero);
    EXPECT_EQ(hero, rescollect::LoadMeshResource("CHARS\\HERO.XML"));
    EXPECT_EQ(2, hero->refCount);
    hero->Release();
    hero->Release();
    EXPECT_EQ(0, g_liveFakes);
    EXPECT_EQ(0u, Cached(GM_RES_KIND_MESH_RESOURCE));

    // Without the animation library's makers there are none.
    rescollect::SetResourceMakers(GmResourceMakers());
    EXPECT_EQ(nullptr, rescollect::LoadMeshResource("chars/hero"));
}

TEST_F(GmResCollector, TracksAreRefusedWithoutDuration)
{
    Pack({{"anims/walk.geat", Text("walk data")}, {"anims/idle.xml", Text("idle data")}});
    g_trackDuration = 0.0f;
    GeLogClearLast();
    EXPECT_EQ(nullptr, rescollect::LoadAnimTrack("anims/walk"));
    EXPECT_EQ(2, GeLogLastLevel());
    EXPECT_STREQ("@rescollect@LoadAnimTrack: track is invalid: anims/walk.geat!\n", GeLogLastMessage().c_str());
    EXPECT_EQ(0, g_liveFakes);
    EXPECT_FALSE(rescollect::FindAnimTrack("anims/walk"));

    g_trackDuration = 2.0f;
    CGeResource* idle = rescollect::LoadAnimTrack("anims/idle.geat");
    ASSERT_NE(nullptr, idle);
    EXPECT_TRUE(rescollect::FindAnimTrack("ANIMS/IDLE.GEAT"));
    EXPECT_EQ(1, idle->refCount); // finding takes no reference
    EXPECT_EQ(nullptr, rescollect::LoadAnimTrack("anims/none"));
    idle->Release();
    EXPECT_FALSE(rescollect::FindAnimTrack("anims/idle.geat"));
}

// The collector's end drops its reference on the tracks it still caches; a
// track held elsewhere as well survives, forgets the collector and can be
// released later.
TEST_F(GmResCollector, TeardownReleasesCachedTracks)
{
    Pack({{"anims/a.geat", Text("a data")}, {"anims/b.geat", Text("b data")}, {"anims/c.geat", Text("c data")}});
    rescollect::LoadAnimTrack("anims/a");
    rescollect::LoadAnimTrack("anims/b");
    CGeResource* c = rescollect::LoadAnimTrack("anims/c");
    c->AddRef();
    EXPECT_EQ(3, g_liveFakes);
    delete g_pGmResCollector;
    g_pGmResCollector = nullptr;
    EXPECT_EQ(1, g_liveFakes);
    EXPECT_EQ(nullptr, c->collector);
    c->Release();
    EXPECT_EQ(0, g_liveFakes);
}

TEST_F(GmResCollector, SoundsChooseTheirSourceAndNeverFail)
{
    Pack({{"sfx/door.wav", Text("RIFF wave")}, {"sfx/x.ogg", Text("OggS")}, {"sfx/music.ogg", Text("OggS")}});
    struct Case {
        const char* name;
        uint32_t kind;
    } cases[] = {
        {"sfx/door.wav", GM_SOUND_SOURCE_WAVE},
        {"sfx/x.wav", GM_SOUND_SOURCE_OGG}, // only the .ogg exists
        {"sfx/music.ogg", GM_SOUND_SOURCE_OGG},
        {"sfx/missing.wav", GM_SOUND_SOURCE_GENERATED},
        {"sfx/x.mp3", GM_SOUND_SOURCE_GENERATED},
    };
    std::vector<CGeResource*> sources;
    for (const Case& c : cases) {
        g_soundKinds.clear();
        CGeResource* source = rescollect::LoadSound(c.name);
        ASSERT_NE(nullptr, source);
        ASSERT_EQ(1u, g_soundKinds.size()) << c.name;
        EXPECT_EQ(c.kind, g_soundKinds[0]) << c.name;
        EXPECT_EQ(GE_RES_SOUND_DATA, source->subTypeId);
        sources.push_back(source);
    }
    EXPECT_EQ("sfx/x.wav", g_soundNames[1]); // registered and named as asked
    g_soundKinds.clear();
    EXPECT_EQ(sources[1], rescollect::LoadSound("SFX\\X.WAV"));
    EXPECT_TRUE(g_soundKinds.empty());
    EXPECT_TRUE(rescollect::FindSound("sfx/x.wav"));
    EXPECT_EQ(2, sources[1]->refCount);
    EXPECT_EQ(10u + 12 + 11 + 11 + 12, rescollect::SumSoundValues());
    sources[1]->Release();
    for (CGeResource* source : sources)
        source->Release();
    EXPECT_EQ(0u, rescollect::SumSoundValues());
    EXPECT_FALSE(rescollect::FindSound("sfx/x.wav"));

    // Without the sound library, a silent placeholder of the sound kind.
    rescollect::SetResourceMakers(GmResourceMakers());
    CGeResource* silent = rescollect::LoadSound("sfx/door.wav");
    ASSERT_NE(nullptr, silent);
    EXPECT_EQ(GE_RES_SOUND_DATA, silent->subTypeId);
    silent->Release();
}

TEST_F(GmResCollector, VideosAndMaterialsAreCachedWhenTheFileExists)
{
    Pack({{"video/junk.ogv", Text("not a video at all")},
          {"materials/plain.xml", Text("<material name=\"plain\"><colors diffuse=\"1 1 0 0\"/></material>")}});
    EXPECT_EQ(nullptr, rescollect::LoadVideo("video/missing.ogv"));
    CGmVideoDecoder* video = rescollect::LoadVideo("Video/Junk.ogv");
    ASSERT_NE(nullptr, video);
    EXPECT_FALSE(video->IsOpened()); // cached all the same
    EXPECT_EQ(video, rescollect::LoadVideo("video/junk.ogv"));
    video->Release();
    video->Release();
    EXPECT_EQ(0u, Cached(GM_RES_KIND_VIDEO));

    EXPECT_EQ(nullptr, rescollect::LoadMaterial("materials/missing.xml"));
    CGmMaterial* material = rescollect::LoadMaterial("materials/PLAIN.xml");
    ASSERT_NE(nullptr, material);
    EXPECT_EQ(CGeString("PLAIN"), material->name);
    EXPECT_EQ(1.0f, material->diffuse.r);
    EXPECT_EQ(material, rescollect::LoadMaterial("materials/plain.xml"));
    material->Release();
    material->Release();
    EXPECT_EQ(0u, Cached(GM_RES_KIND_MATERIAL));
}

TEST_F(GmResCollector, UnknownSubTypeIsLogged)
{
    GeLogClearLast();
    {
        FakeResource odd(42, 0);
        odd.collector = g_pGmResCollector;
    }
    EXPECT_EQ(2, GeLogLastLevel());
    EXPECT_STREQ("Unknown resource sub-TypeId: 42\n", GeLogLastMessage().c_str());
}

} // namespace
