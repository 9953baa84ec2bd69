// The table tool: its table is the one a table-less load decodes, and the game
// loads the sound with it to the same bytes; a file that is not Ogg Vorbis
// writes nothing.
#include "Engine/Core/Sound/SmOggVorbis.h"
#include "tests/Engine/Core/Sound/SoundFixtures.h"
#include "tests/Support/TestTempDir.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>
#include <filesystem>

TEST(OggTblTool, WritesTheTableThatTheLoaderDecodes)
{
    CTestTempDir dir;
    const std::string ogg = VorbisClip(2, 44100, 3);
    const std::string path = dir.Write("music.ogg", ogg);
    ASSERT_EQ(std::system((std::string(OGGTBL_EXECUTABLE) + " " + path + " >/dev/null").c_str()), 0);
    const std::string written = CTestTempDir::Read(path + ".tbl");

    // The loader's own table, from a load without the file.
    std::filesystem::rename(path + ".tbl", path + ".kept");
    CSmOggVorbis* decoded = new CSmOggVorbis;
    CGeFileData file;
    file.size = static_cast<uint32_t>(ogg.size());
    file.data = static_cast<uint8_t*>(malloc(ogg.size()));
    memcpy(file.data, ogg.data(), ogg.size());
    ASSERT_TRUE(decoded->Load(path.c_str(), file));
    const std::vector<uint32_t>& table = decoded->GetPacketTable();
    ASSERT_EQ(written.size(), 16 + 4 * table.size());
    uint32_t n = 0, total = 0;
    memcpy(&n, written.data() + 8, 4);
    memcpy(&total, written.data() + 12, 4);
    EXPECT_EQ(n, 4 * table.size());
    EXPECT_EQ(total, decoded->GetSize());
    EXPECT_EQ(memcmp(written.data() + 16, table.data(), 4 * table.size()), 0);
    EXPECT_EQ(total, VorbisReference(ogg).size());
    decoded->Release();

    std::filesystem::rename(path + ".kept", path + ".tbl");
    ASSERT_EQ(std::system(
                  (std::string(OGGTBL_EXECUTABLE) + " " + dir.Write("bad.ogg", std::string(100, 'q')) + " 2>/dev/null")
                      .c_str()) != 0,
              true);
    EXPECT_FALSE(std::filesystem::exists(dir / "bad.ogg.tbl"));
}
