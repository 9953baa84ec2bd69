#include "tests/fuzz/CatalogueFuzz.h"

#include "Engine/Core/Common/GeCpuInfo.h"
#include "Engine/Core/Common/GeSimd.h"
#include "Engine/Core/Common/GeTextConvert.h"
#include "Engine/Core/Common/GeXml.h"
#include "Source/GameClasses/QmGameProcessor.h"
#include "Source/GameClasses/QmInvItemDesc.h"
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
    if (data[0] % 2 == 0)
        CheckStrings(data + 1, size - 1, outcome);
    else
        CheckItems(data + 1, size - 1, outcome);
    return outcome;
}

int FuzzCatalogue(const uint8_t* data, size_t size)
{
    return FuzzVerdict(RunCatalogueFuzz(data, size), "CatalogueFuzz.cpp");
}
