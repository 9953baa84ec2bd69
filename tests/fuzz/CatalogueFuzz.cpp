#include "tests/fuzz/CatalogueFuzz.h"

#include "Engine/Core/Common/GeCpuInfo.h"
#include "Engine/Core/Common/GeSimd.h"
#include "Engine/Core/Common/GeTextConvert.h"
#include "Engine/Core/Common/GeXml.h"
#include "Source/GameClasses/QmEntity.h"
#include "Source/GameClasses/QmGameProcessor.h"
#include "Source/GameClasses/QmInvItemDesc.h"
#include "Source/GameClasses/QmLocation.h"
#include "Source/GameClasses/QmLocationLoader.h"
#include "Source/GameClasses/QmPropActor.h"
#include "Source/GameClasses/QmUnifiedCollector.h"

#include <tinyxml.h>

#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <map>
#include <string>
#include <unistd.h>

namespace {

// A scratch data root for the item files, removed when the process ends.
const std::string& ScratchRoot()
{
    static const std::string root = [] {
        const std::filesystem::path dir =
            std::filesystem::temp_directory_path() / ("qm_catalogue_fuzz." + std::to_string(getpid()));
        std::filesystem::create_directories(dir);
        std::ofstream(dir / "texts.xml") << "<t><string id=\"s0\" str=\"zero\"/><string id=\"s1\" str=\"\"/></t>";
        std::atexit([] {
            std::error_code ignored;
            std::filesystem::remove_all(
                std::filesystem::temp_directory_path() / ("qm_catalogue_fuzz." + std::to_string(getpid())), ignored);
        });
        return dir.string() + "/";
    }();
    return root;
}

void CheckStrings(const uint8_t* text, size_t size, FuzzOutcome& outcome)
{
    TiXmlDocument document;
    XmlParseDocumentText(text, static_cast<uint32_t>(size), document);
    QmStringTable table;
    CQmUnifiedCollector::LoadStrings(document, table);
    const TiXmlElement* root = document.RootElement();
    outcome.taken = root != nullptr;
    // The plain model: the last "str" of each id.
    std::map<std::string, std::string> expected;
    if (root)
        for (const TiXmlElement* e = root->FirstChildElement("string"); e; e = e->NextSiblingElement("string"))
            if (e->Attribute("id") && e->Attribute("str"))
                expected[e->Attribute("id")] = e->Attribute("str");
    FUZZ_EXPECT(outcome, table.Count() == expected.size());
    for (const auto& [id, str] : expected) {
        const auto* node = table.Find(CGeString(id.c_str()));
        FUZZ_EXPECT(outcome, node != nullptr);
        if (node)
            FUZZ_EXPECT(outcome, node->value == Utf8StringToWide(CGeString(str.c_str())));
    }
}

void CheckItems(const uint8_t* text, size_t size, FuzzOutcome& outcome)
{
    const std::string root = ScratchRoot();
    {
        std::ofstream file(root + "items.xml", std::ios::binary | std::ios::trunc);
        file.write(reinterpret_cast<const char*>(text), static_cast<std::streamsize>(size));
    }
    const CGeString previousRoot = g_dataRoot;
    g_dataRoot = root.c_str();
    CQmUnifiedCollector::LoadInventoryItems((root + "items.xml").c_str());
    g_dataRoot = previousRoot;

    TiXmlDocument document;
    XmlParseDocumentText(text, static_cast<uint32_t>(size), document);
    const TiXmlElement* list = document.RootElement();
    outcome.taken = list && std::strcmp(list->Value(), "items_list") == 0 && list->Attribute("stringlist");
    // The last element of each name decides the item.
    std::map<std::string, const TiXmlElement*> expected;
    if (outcome.taken)
        for (const TiXmlElement* e = list->FirstChildElement("inv_item"); e; e = e->NextSiblingElement("inv_item"))
            if (e->Attribute("name") && e->Attribute("string_id"))
                expected[e->Attribute("name")] = e;
    FUZZ_EXPECT(outcome, CQmUnifiedCollector::ItemCount() == expected.size());
    for (const auto& [name, element] : expected) {
        const CQmInvItemDesc* item = CQmUnifiedCollector::FindItem(name.c_str());
        FUZZ_EXPECT(outcome, item != nullptr);
        if (!item)
            continue;
        const char* cursor = element->Attribute("cursor_type");
        FUZZ_EXPECT(outcome, item->cursorType == (cursor ? std::atoi(cursor) : 1));
        FUZZ_EXPECT(outcome, item->hasInitValue == (element->Attribute("init_value") != nullptr));
        FUZZ_EXPECT(outcome, item->managedByScript == (element->FirstChildElement("managed_by_script") != nullptr));
        // Only the scratch strings file has texts the model knows.
        if (std::strcmp(list->Attribute("stringlist"), "texts.xml") == 0) {
            const char* id = element->Attribute("string_id");
            const char* text = std::strcmp(id, "s0") == 0   ? "zero"
                               : std::strcmp(id, "s1") == 0 ? ""
                                                            : "Unknown description";
            FUZZ_EXPECT(outcome, item->text == Utf8StringToWide(CGeString(text)));
        }
    }
    CQmUnifiedCollector::Clear();
    FUZZ_EXPECT(outcome, CQmUnifiedCollector::ItemCount() == 0);
}

// Writes the bytes into the scratch root under name.
void WriteScratch(const std::string& name, const uint8_t* text, size_t size)
{
    std::ofstream file(ScratchRoot() + name, std::ios::binary | std::ios::trunc);
    file.write(reinterpret_cast<const char*>(text), static_cast<std::streamsize>(size));
}

// The "entity" element an actor file gives: the root, else a child of it.
const TiXmlElement* ActorElement(const TiXmlDocument& document)
{
    const TiXmlElement* element = document.FirstChildElement("entity");
    if (!element && document.RootElement())
        element = document.RootElement()->FirstChildElement("entity");
    return element;
}

void CheckActor(const uint8_t* text, size_t size, FuzzOutcome& outcome)
{
    WriteScratch("actor.xml", text, size);
    const CGeString previousRoot = g_dataRoot;
    g_dataRoot = ScratchRoot().c_str();
    CQmEntity* actor = CQmUnifiedCollector::LoadActor("actor.xml", "fuzz_actor", true);
    g_dataRoot = previousRoot;

    TiXmlDocument document;
    XmlParseDocumentText(text, static_cast<uint32_t>(size), document);
    // The plain model: an actor exactly when the file has an entity element.
    outcome.taken = size != 0 && ActorElement(document) != nullptr;
    FUZZ_EXPECT(outcome, (actor != nullptr) == outcome.taken);
    if (actor) {
        FUZZ_EXPECT(outcome, CQmUnifiedCollector::FindActor("fuzz_actor") == actor);
        FUZZ_EXPECT(outcome, actor->name == CGeString("fuzz_actor"));
        FUZZ_EXPECT(outcome, actor->GetProp(QM_PROP_ACTOR) != nullptr);
        if (CQmProp* visual = actor->GetProp(QM_PROP_VISUAL_OBJECT))
            FUZZ_EXPECT(outcome, visual->enabled == 0);
        // A second load under the taken name loads nothing.
        g_dataRoot = ScratchRoot().c_str();
        FUZZ_EXPECT(outcome, CQmUnifiedCollector::LoadActor("actor.xml", "fuzz_actor", true) == nullptr);
        g_dataRoot = previousRoot;
    }
    CQmUnifiedCollector::Clear();
    FUZZ_EXPECT(outcome, CQmUnifiedCollector::FindActor("fuzz_actor") == nullptr);
}

void CheckOverlayDocument(const uint8_t* text, size_t size, FuzzOutcome& outcome)
{
    TiXmlDocument document;
    XmlParseDocumentText(text, static_cast<uint32_t>(size), document);
    const TiXmlElement* root = document.FirstChildElement("overlay_document");
    const CGeString previousRoot = g_dataRoot;
    g_dataRoot = ScratchRoot().c_str();
    {
        CQmLocation location("fuzz");
        CQmOverlayDocument* loaded = LoadOverlayDocument(location, root);
        // Twice: the first stays alive beside the second.
        CQmOverlayDocument* again = LoadOverlayDocument(location, root);
        // The plain model: a document exactly when the root has a name, with
        // at most one sprite per "sprite2d" child.
        outcome.taken = root && root->Attribute("name");
        FUZZ_EXPECT(outcome, (loaded != nullptr) == outcome.taken);
        if (loaded && again) {
            uint32_t sprites = 0;
            for (const TiXmlElement* e = root->FirstChildElement("sprite2d"); e; e = e->NextSiblingElement("sprite2d"))
                ++sprites;
            FUZZ_EXPECT(outcome, loaded->children.Count() <= sprites);
            FUZZ_EXPECT(outcome, location.documents.Count() == 1);
            FUZZ_EXPECT(outcome, location.documents.first->value == again);
            FUZZ_EXPECT(outcome, location.retiredDocuments.Count() == 1);
            for (CGmVisualObject* child : loaded->children)
                FUZZ_EXPECT(outcome, child->frame.parent == &loaded->frame);
        }
    }
    g_dataRoot = previousRoot;
}

} // namespace

FuzzOutcome RunCatalogueFuzz(const uint8_t* data, size_t size)
{
    FuzzOutcome outcome;
    if (size == 0)
        return outcome;
    // Item pictures are sprites, which use the kernel object.
    if (!g_pGeCpuInfo)
        GeCpuProbeCreate();
    if (!g_pGeSimd)
        GeSimdCreate();
    switch (data[0] % 4) {
    case 0: CheckStrings(data + 1, size - 1, outcome); break;
    case 1: CheckItems(data + 1, size - 1, outcome); break;
    case 2: CheckActor(data + 1, size - 1, outcome); break;
    default: CheckOverlayDocument(data + 1, size - 1, outcome); break;
    }
    return outcome;
}

int FuzzCatalogue(const uint8_t* data, size_t size)
{
    return FuzzVerdict(RunCatalogueFuzz(data, size), "CatalogueFuzz.cpp");
}
