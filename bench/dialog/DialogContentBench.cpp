// The dialog content of a generated pack (200 files: 10,000 strings and 500
// conversations of 4 nodes, with topics and colours) read by the dialog
// system's content loader, against reading every one of those files from the
// same pack and parsing it with TinyXML, in the same run. The loader pays for
// what the reference does not: the records, the UTF-16 texts and the
// duplicate checks.
#include "Engine/Core/Common/GeFileData.h"
#include "Engine/Core/Common/GeXml.h"
#include "Engine/Core/Pack/Harvester.h"
#include "Source/GameClasses/QmDialogSystem.h"
#include "Source/GameClasses/QmGameProcessor.h"
#include "bench/Support/BenchRatio.h"
#include "tests/Support/TestTempDir.h"
#include "tools/fpk/FpkWriter.h"

#include <benchmark/benchmark.h>

#include <string>
#include <vector>

namespace {

const int kStringFiles = 100;     // 100 strings each
const int kConversationFiles = 98; // 500 conversations over them
const int kConversations = 500;

std::string StringFile(int file)
{
    std::string xml = "<string_list>";
    for (int i = 0; i < 100; ++i) {
        const std::string n = std::to_string(file * 100 + i);
        xml += "<string string_name=\"s" + n + "\">Line number " + n +
               " of the voyage\xE2\x80\xA6 the kettle \xE2\x80\x93 copper and old.</string>";
    }
    return xml + "</string_list>";
}

std::string ConversationFile(int file)
{
    std::string xml = "<conversation_set>";
    for (int c = file; c < kConversations; c += kConversationFiles) {
        const std::string n = std::to_string(c);
        xml += "<conversation name=\"talk" + n + "\" topic_name=\"topic" + std::to_string(c % 50) +
               "\" opponent_name=\"actor" + std::to_string(c / 50) + "\">";
        for (int k = 0; k < 4; ++k) {
            const std::string s = std::to_string((c * 4 + k) % 10000);
            xml += "<node name=\"n" + std::to_string(k) + "\" actor_name=\"" + (k % 2 ? "$self$" : "$opponent$") +
                   "\"><cue variant_order=\"random\" on_exit=\"x = " + std::to_string(k) +
                   "\"><appear_if>true</appear_if><variant string_name=\"s" + s +
                   "\" frequency=\"0.5\"/><variant string_name=\"s" + s +
                   "\"/><flag_changer name=\"f" + s + "\" location_name=\"loc01\" value=\"1\"/><link target=\"n" +
                   std::to_string((k + 1) % 4) + "\">x == 1</link><link target=\"$topics$\"/></cue></node>";
        }
        xml += "</conversation>";
    }
    return xml + "</conversation_set>";
}

class CContentPack {
public:
    CContentPack()
    {
        const std::string data = dir.Path() + "/data/dialog_system/content/";
        for (int i = 0; i < kStringFiles; ++i)
            Add(data, "strings" + std::to_string(i) + ".xml", StringFile(i));
        for (int i = 0; i < kConversationFiles; ++i)
            Add(data, "talk" + std::to_string(i) + ".xml", ConversationFile(i));
        std::string topics = "<topic_set>";
        for (int i = 0; i < 50; ++i)
            topics += "<topic topic_name=\"topic" + std::to_string(i) + "\" string_name=\"s" + std::to_string(i) +
                      "\"/>";
        Add(data, "topics.xml", topics + "</topic_set>");
        Add(data, "colors.xml", "<color_set><color value=\"0xFF102030\"/><color value=\"0xFF405060\"/></color_set>");
        pack = dir.Path() + "/bench.fpk";
        std::string error;
        WritePackFromDirectory(pack.c_str(), (dir.Path() + "/data").c_str(), &error);
    }

    void Add(const std::string& folder, const std::string& name, const std::string& text)
    {
        dir.Write(folder.substr(dir.Path().size() + 1) + name, text);
        files.push_back("dialog_system/content/" + name);
    }

    CTestTempDir dir;
    std::string pack;
    std::vector<std::string> files;
};

CContentPack& Pack()
{
    static CContentPack pack;
    return pack;
}

class CMounted {
public:
    CMounted()
    {
        g_packPath = Pack().pack.c_str();
        CHarvester::MountSinglePack(g_packPath);
        g_dataRoot = "";
    }
    ~CMounted()
    {
        CHarvester::Unmount();
        g_packPath = "";
    }
};

void BM_LoadContent(benchmark::State& state)
{
    CMounted mounted;
    for (auto _ : state) {
        CQmDialogSystem dialog;
        if (dialog.strings.Count() != 10000 || !dialog.FindConversation("talk499")) {
            state.SkipWithError("the content did not load");
            break;
        }
        state.PauseTiming();
        // The dialog system is freed outside the timing.
        dialog.strings.Clear();
        dialog.topics.Clear();
        state.ResumeTiming();
    }
}

void BM_TinyXmlParse(benchmark::State& state)
{
    CMounted mounted;
    for (auto _ : state) {
        CGeArray<CGeString> listed;
        CollectFileList("dialog_system/content", listed);
        uint32_t parsed = 0;
        for (const std::string& path : Pack().files) {
            CGeFileData file = LoadFileData(path.c_str());
            TiXmlDocument document;
            if (file.size && XmlParseDocumentText(file.data, file.size, document))
                ++parsed;
            FreeFileData(file);
        }
        if (parsed != Pack().files.size() || listed.Count() != parsed) {
            state.SkipWithError("a file is missing from the pack");
            break;
        }
    }
}

BENCHMARK(BM_LoadContent)->Unit(benchmark::kMillisecond)->MinTime(1.0);
BENCHMARK(BM_TinyXmlParse)->Unit(benchmark::kMillisecond)->MinTime(1.0);

} // namespace

int main(int argc, char** argv)
{
    benchmark::Initialize(&argc, argv);
    CBenchRatioReporter reporter;
    benchmark::RunSpecifiedBenchmarks(&reporter);
    CBenchRatioReporter::PrintRatios("The dialog content of a pack (200 files, 10,000 strings, 500 conversations) "
                                     "against reading and parsing the same files with TinyXML");
    reporter.PrintRatio("LoadContent", "BM_LoadContent", "BM_TinyXmlParse");
    benchmark::Shutdown();
    return 0;
}
