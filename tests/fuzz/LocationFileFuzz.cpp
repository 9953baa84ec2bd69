#include "tests/fuzz/LocationFileFuzz.h"

#include "Engine/Core/Common/GeCpuInfo.h"
#include "Engine/Core/Common/GeFileData.h"
#include "Engine/Core/Common/GeSimd.h"
#include "Engine/Core/Common/GeXml.h"
#include "Engine/Core/Gm/GmLayers.h"
#include "Engine/Core/Gm/GmResCollector.h"
#include "Engine/Core/Pack/Harvester.h"
#include "Engine/Physics/GeCollider.h"
#include "Engine/Physics/GePhysWorld.h"
#include "Source/GameClasses/QmAnimLink.h"
#include "Source/GameClasses/QmEntity.h"
#include "Source/GameClasses/QmGameProcessor.h"
#include "Source/GameClasses/QmLocation.h"
#include "Source/GameClasses/QmLocationLoader.h"
#include "Source/GameClasses/QmPropCollider.h"
#include "tests/Source/GameClasses/LocationWriter.h"
#include "tests/Support/TestTempDir.h"
#include "tools/fpk/FpkWriter.h"

#include <filesystem>
#include <memory>
#include <string>
#include <unistd.h>

namespace {

// The fixture pack, written once per process into a scratch folder.
const std::string& FixturePack()
{
    static CTestTempDir dir;
    static const std::string pack = [] {
        const std::string root = dir.Path();
        locwriter::WriteSharedFiles(root + "/data");
        const std::string path = root + "/fixture.fpk";
        std::string error;
        WritePackFromDirectory(path.c_str(), (root + "/data").c_str(), &error);
        return path;
    }();
    return pack;
}

bool InLocation(const CQmLocation& location, const CQmEntity* entity)
{
    for (auto* node = location.entities.head; node; node = node->next)
        if (node->value == entity)
            return true;
    return false;
}

} // namespace

FuzzOutcome RunLocationFileFuzz(const uint8_t* data, size_t size)
{
    FuzzOutcome outcome;
    if (size > 0x100000)
        return outcome;
    if (!g_pGeCpuInfo)
        GeCpuProbeCreate();
    if (!g_pGeSimd)
        GeSimdCreate();
    QmAnimInstallMakers();
    const std::string& pack = FixturePack();
    g_packPath = pack.c_str();
    CHarvester::Init();
    bool fixtureFound = false;
    QueryFileSize(locwriter::kRedPicture, fixtureFound);
    FUZZ_EXPECT(outcome, fixtureFound);
    CGmResCollector* const previousCollector = g_pGmResCollector;
    CGmLayers* const previousLayers = g_pGmLayers;
    auto collector = std::make_unique<CGmResCollector>();
    g_pGmResCollector = collector.get();
    CGmLayers layers;
    g_pGmLayers = &layers;
    CreateActiveColliders();
    const uint32_t collidersBefore = g_activeColliders->members.count;

    TiXmlDocument document;
    const bool parsed = XmlParseDocumentText(data, uint32_t(size), document) && !document.Error();
    const TiXmlElement* root = parsed ? document.RootElement() : nullptr;
    outcome.taken = root && root->ValueStr() == "location";
    {
        auto location = std::make_unique<CQmLocation>();
        LoadLocation(*location, "Locations/fuzz.xml", data, uint32_t(size));
        FUZZ_EXPECT(outcome, location->name == "fuzz");
        FUZZ_EXPECT(outcome, location->walkGridCount <= CQmLocation::kMaxWalkGrids);
        for (const QmCameraZone& zone : location->zones)
            FUZZ_EXPECT(outcome, zone.group < location->cameraGroups.Count());
        for (const QmCameraGroup& group : location->cameraGroups)
            FUZZ_EXPECT(outcome, group.camera != nullptr);
        for (auto* node = location->entityNames.first; node; node = location->entityNames.Next(node)) {
            FUZZ_EXPECT(outcome, InLocation(*location, node->value));
            FUZZ_EXPECT(outcome, node->value->name == node->key);
        }
        uint32_t shapes = 0;
        uint32_t visuals = 0;
        for (auto* node = location->entities.head; node; node = node->next) {
            CQmEntity* entity = node->value;
            entity->Update();
            if (auto* collider = entity->Prop<CQmPropCollider>(QM_PROP_COLLIDER)) {
                FUZZ_EXPECT(outcome, collider->shape && collider->shape->owner == collider);
                shapes += collider->enabled && collider->shape ? 1 : 0;
            }
            if (auto* visual = entity->Prop<CQmPropVisualObject>(QM_PROP_VISUAL_OBJECT))
                visuals += visual->visuals.Count();
        }
        FUZZ_EXPECT(outcome, g_activeColliders->members.count == collidersBefore + shapes);
        for (const CGeCollider* shape = g_activeColliders->members.first; shape; shape = shape->Next()) {
            const auto* collider = static_cast<const CQmPropCollider*>(shape->owner);
            FUZZ_EXPECT(outcome, collider && InLocation(*location, collider->owner));
        }
        uint32_t layered = 0;
        for (const auto& list : layers.layers)
            layered += list.count;
        FUZZ_EXPECT(outcome, layered == visuals);
    }
    uint32_t layered = 0;
    for (const auto& list : layers.layers)
        layered += list.count;
    FUZZ_EXPECT(outcome, layered == 0);
    FUZZ_EXPECT(outcome, g_activeColliders->members.count == collidersBefore);
    FUZZ_EXPECT(outcome, g_staticBody.geomCount == 0);

    ClearLocationSprites();
    DestroyActiveColliders();
    g_pGmLayers = previousLayers;
    collector.reset();
    g_pGmResCollector = previousCollector;
    CHarvester::Unmount();
    g_packPath = "";
    return outcome;
}

int FuzzLocationFile(const uint8_t* data, size_t size)
{
    return FuzzVerdict(RunLocationFileFuzz(data, size), __FILE__);
}
