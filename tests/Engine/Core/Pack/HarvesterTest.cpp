#include "Engine/Core/Pack/Harvester.h"

#include "Engine/Core/Common/GeLog.h"
#include "Engine/Core/Common/GeXml.h"
#include "tests/Engine/Core/Pack/PackFixture.h"
#include "tests/Support/ErrorBoxRecorder.h"

#include <cstring>
#include <gtest/gtest.h>
#include <random>
#include <unistd.h>

namespace {

class Harvester : public ::testing::Test {
protected:
    void TearDown() override
    {
        CHarvester::Unmount();
        g_packPath = "";
    }

    void WritePack(const std::string& name, const std::vector<CPackFixtureFile>& files)
    {
        ASSERT_EQ(WriteFixturePack(dir / name, files), "");
    }

    CTestTempDir dir;
    CErrorBoxRecorder boxes;
};

std::string RandomBytes(std::mt19937& random, size_t count)
{
    std::string bytes(count, '\0');
    for (char& c : bytes)
        c = static_cast<char>(random());
    return bytes;
}

std::string TextBytes(std::mt19937& random, size_t count)
{
    static const char* const words[] = {"kettle ", "copper ", "voyage ", "<node name=\"x\"/>\n", "qasimar "};
    std::string bytes;
    while (bytes.size() < count)
        bytes += words[random() % 5];
    bytes.resize(count);
    return bytes;
}

} // namespace

TEST_F(Harvester, EveryFileOfADirectoryComesBackByteForByte)
{
    std::mt19937 random(2024);
    std::vector<CPackFixtureFile> files;
    for (int i = 0; i < 300; ++i) {
        std::string name = "Dir" + std::to_string(i % 9) + "/Sub_" + std::to_string(i % 4) + "/File_" + std::to_string(i) + ".Bin";
        std::string bytes;
        switch (i % 5) {
        case 0: bytes = i % 2 ? "" : "x"; break;
        case 1: bytes = RandomBytes(random, random() % 3000); break;
        case 2: bytes = TextBytes(random, random() % 40000); break;
        case 3: bytes = RandomBytes(random, 1 + random() % 70000); break;
        default: bytes = TextBytes(random, random() % 300); break;
        }
        files.push_back({name, bytes});
    }
    files.push_back({"Big/Random.dat", RandomBytes(random, 3 << 20)});
    files.push_back({"Big/Text.xml", TextBytes(random, 4 << 20)});
    for (const CPackFixtureFile& file : files)
        dir.Write("tree/" + file.name, file.bytes);

    std::string error;
    ASSERT_TRUE(WritePackFromDirectory((dir / "resource.fpk").c_str(), (dir / "tree").c_str(), &error)) << error;
    ASSERT_EQ(MountFixtureDirectory(dir), files.size());

    for (const CPackFixtureFile& file : files) {
        CGeFileData data = LoadFileData(file.name.c_str(), true);
        ASSERT_TRUE(data.data != nullptr) << file.name;
        ASSERT_EQ(data.size, file.bytes.size()) << file.name;
        EXPECT_EQ(memcmp(file.bytes.data(), data.data, data.size), 0) << file.name;
        EXPECT_EQ(data.path, CHarvester::NormalizeName(file.name.c_str()));
        FreeFileData(data);
    }
    EXPECT_TRUE(boxes.Messages().empty());
}

TEST_F(Harvester, LookUpsIgnoreCaseAndSeparatorKind)
{
    WritePack("resource.fpk", {{"data/mesh.gemesh", "mesh bytes"}, {"gui/gui_res.xml", "<gui/>"}});
    ASSERT_EQ(MountFixtureDirectory(dir), 2u);
    for (const char* name : {"data/mesh.gemesh", "Data\\Mesh.GEMESH", "DATA/MESH.GEMESH", "data\\mesh.gemesh"})
        EXPECT_EQ(LoadAsString(name), "mesh bytes") << name;
    EXPECT_EQ(LoadAsString("Gui\\gui_res.xml"), "<gui/>");
}

TEST_F(Harvester, WithAPackPathLooseFilesAreNeverRead)
{
    WritePack("resource.fpk", {{"in_pack.txt", "packed"}});
    dir.Write("loose.txt", "loose");
    ASSERT_EQ(MountFixtureDirectory(dir), 1u);

    CGeFileData file = LoadFileData("loose.txt", true);
    EXPECT_EQ(file.data, nullptr);
    EXPECT_EQ(file.size, 0u);
    EXPECT_EQ(file.path, "");
    bool found = true;
    EXPECT_EQ(QueryFileSize("loose.txt", found), 0u);
    EXPECT_FALSE(found);
}

TEST_F(Harvester, XmlDocumentsLoadFromThePacksOnlyWhenThePackPathIsSet)
{
    ASSERT_EQ("", WriteFixturePack(dir / "resource.fpk", {{"locations/loc01.xml", "<location name='packed'/>"}}));
    // A loose file of another name must not be found once packs are in use.
    dir.Write("loose.xml", "<location name='loose'/>");

    g_packPath = (dir / "resource.fpk").c_str();
    CHarvester::Init();

    TiXmlDocument packed;
    EXPECT_TRUE(XmlLoadDocument(CGeString("Locations\\LOC01.xml"), packed));
    XmlHandle h;
    h.element = packed.FirstChildElement("location");
    EXPECT_STREQ("packed", XmlGetText("name", h));

    TiXmlDocument loose;
    EXPECT_FALSE(XmlLoadDocument(CGeString((dir / "loose.xml").c_str()), loose));
    // The settings loader still reaches the disk.
    EXPECT_TRUE(XmlLoadDocumentFromDisk(CGeString((dir / "loose.xml").c_str()), loose));
}

TEST_F(Harvester, SizeQueryGivesTheStoredBlockSize)
{
    const std::string text(10000, 'z');
    WritePack("resource.fpk", {{"z.txt", text}});
    ASSERT_EQ(MountFixtureDirectory(dir), 1u);
    bool found = false;
    uint32_t size = QueryFileSize("Z.TXT", found);
    EXPECT_TRUE(found);
    EXPECT_EQ(size, CRawPack::Block(text).size());
    EXPECT_NE(size, text.size());
}

TEST_F(Harvester, ALaterPackWinsAndOnlyMatchingPacksMount)
{
    WritePack("resource.fpk", {{"shared.txt", "first"}, {"only_first.txt", "1"}});
    WritePack("resource2.fpk", {{"Shared.txt", "second"}, {"only_second.txt", "2"}});
    WritePack("other.fpk", {{"shared.txt", "other"}, {"other.txt", "o"}});
    dir.Write("resource3.fpk", ""); // empty: skipped without a word
    dir.Write("resource.txt", "not a pack");

    ASSERT_EQ(MountFixtureDirectory(dir), 3u);
    EXPECT_EQ(LoadAsString("shared.txt"), "second");
    EXPECT_EQ(LoadAsString("only_first.txt"), "1");
    EXPECT_EQ(LoadAsString("only_second.txt"), "2");
    EXPECT_EQ(LoadAsString("other.txt"), "");
    ASSERT_EQ(CHarvester::GetPackList().count, 2u);
    EXPECT_STREQ(CHarvester::GetPackList()[0].c_str(), "resource.fpk");
    EXPECT_STREQ(CHarvester::GetPackList()[1].c_str(), "resource2.fpk");
    EXPECT_TRUE(boxes.Messages().empty());
}

TEST_F(Harvester, TheLastEntryOfOneFatWins)
{
    CRawPack pack;
    pack.AddFile("twice.txt", "old");
    pack.AddFile("TWICE.txt", "new");
    dir.Write("resource.fpk", pack.Bytes());
    ASSERT_EQ(MountFixtureDirectory(dir), 1u);
    EXPECT_EQ(LoadAsString("twice.txt"), "new");
}

TEST_F(Harvester, MountingLeavesTheCurrentDirectoryAlone)
{
    char before[4096];
    ASSERT_TRUE(getcwd(before, sizeof(before)));
    WritePack("resource.fpk", {{"a", "b"}});
    MountFixtureDirectory(dir);
    g_packPath = (dir / "missing/resource.fpk").c_str();
    EXPECT_EQ(CHarvester::Init(), 0u);
    EXPECT_EQ(LoadAsString("a"), ""); // the earlier mount is gone
    char after[4096];
    ASSERT_TRUE(getcwd(after, sizeof(after)));
    EXPECT_STREQ(before, after);
}

// Each case damages one pack; a healthy pack mounted beside it keeps working.
TEST_F(Harvester, ACorruptPackFailsCleanlyAndTheOthersKeepWorking)
{
    struct Case {
        const char* what;
        std::string (*make)();
        const char* loadName;     // a name of the bad pack to try, or null
        bool loadsAfterAll;       // whether that name still gives data
        const char* boxMessage;   // expected error box text, or null
    } cases[] = {
        {"file block with a wrong CRC",
         [] {
             CRawPack pack;
             uint32_t at = pack.AddFile("bad/file.txt", std::string(3000, 'b'));
             pack.pack[at + 3] ^= 0x21;
             return pack.Bytes();
         },
         "bad/file.txt", false, "CRC32 not equal!"},
        {"truncated pack",
         [] {
             CRawPack pack;
             pack.AddFile("bad/file.txt", std::string(3000, 'b'));
             std::string bytes = pack.Bytes();
             return bytes.substr(0, bytes.size() / 2);
         },
         "bad/file.txt", false, nullptr},
        {"trailer longer than the file",
         [] { return std::string("0123456789abcdef") + std::string("\xff\xff\x00\x00", 4); },
         nullptr, false, nullptr},
        {"trailer under 12 bytes",
         [] { return std::string(40, 'j') + std::string("\x0b\x00\x00\x00", 4); },
         nullptr, false, nullptr},
        {"FAT entry running past the FAT",
         [] {
             CRawPack pack;
             pack.AddFile("bad/kept.txt", "kept");
             pack.fat.push_back(200); // a name length with no name after it
             pack.fat.push_back(0);
             return pack.Bytes();
         },
         "bad/kept.txt", true, "MULTIFILE FAT ERROR\n"},
        {"FAT name over 2047 bytes",
         [] {
             CRawPack pack;
             pack.AddFile("bad/kept.txt", "kept");
             AppendFatEntry(pack.fat, std::string(2048, 'n'), 12, 0);
             return pack.Bytes();
         },
         "bad/kept.txt", true, "MULTIFILE FAT ERROR\n"},
        {"entry reaching past the pack",
         [] {
             CRawPack pack;
             pack.AddFile("bad/kept.txt", "kept");
             AppendFatEntry(pack.fat, "bad/outside.txt", 100, 0xFFFFFF00u);
             return pack.Bytes();
         },
         "bad/outside.txt", false, nullptr},
        {"entry with a block under 12 bytes",
         [] {
             CRawPack pack;
             pack.AddFile("bad/kept.txt", "kept");
             AppendFatEntry(pack.fat, "bad/tiny.txt", 5, 0);
             return pack.Bytes();
         },
         "bad/tiny.txt", false, nullptr},
    };

    WritePack("resource.fpk", {{"good/a.txt", "alpha"}, {"good/b.txt", std::string(50000, 'b')}});
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        boxes.Messages().clear();
        dir.Write("resource_bad.fpk", c.make());
        MountFixtureDirectory(dir);

        EXPECT_EQ(LoadAsString("good/a.txt"), "alpha");
        EXPECT_EQ(LoadAsString("good/b.txt"), std::string(50000, 'b'));
        if (c.loadName) {
            CGeFileData file = LoadFileData(c.loadName, true);
            EXPECT_EQ(file.data != nullptr, c.loadsAfterAll);
            if (!c.loadsAfterAll) {
                EXPECT_EQ(file.size, 0u);
            }
            FreeFileData(file);
        }
        if (c.boxMessage) {
            EXPECT_TRUE(boxes.Saw(c.boxMessage));
        }
    }
}

TEST_F(Harvester, ListingADirectoryOfThePacks)
{
    WritePack("resource.fpk", {{"dialog_system/a/b.xml", "1"},
                               {"dialog_system/c.xml", "2"},
                               {"dialog_system2/x.xml", "3"},
                               {"dialog_system", "4"},
                               {"Dialog_System/D.xml", "5"}});
    MountFixtureDirectory(dir);
    CGeArray<CGeString> names;
    CollectFileList("Dialog_System", names);
    ASSERT_EQ(names.count, 3u);
    EXPECT_STREQ(names[0].c_str(), "a/b.xml");
    EXPECT_STREQ(names[1].c_str(), "c.xml");
    EXPECT_STREQ(names[2].c_str(), "d.xml");

    CollectFileList("", names);
    EXPECT_EQ(names.count, 0u);
}

TEST_F(Harvester, APackThatShrankAfterMountingGivesAReadError)
{
    WritePack("resource.fpk", {{"a.txt", std::string(20000, 'a')}, {"b.txt", "b"}});
    ASSERT_EQ(MountFixtureDirectory(dir), 2u);
    std::string bytes = CTestTempDir::Read(dir / "resource.fpk");
    dir.Write("resource.fpk", bytes.substr(0, 40)); // a.txt's block now ends early

    CGeFileData file = LoadFileData("a.txt", true);
    EXPECT_EQ(file.data, nullptr);
    EXPECT_EQ(file.size, 0u);
    ASSERT_EQ(boxes.Messages().size(), 1u);
    EXPECT_EQ(boxes.Messages()[0], "Error 5 while reading a.txt\rfrom resource.fpk");
}
