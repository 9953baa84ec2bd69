// Builds packs for the tests: whole packs through the pack writer, and packs
// assembled block by block so that a test can damage exactly one part.
#pragma once

#include "Engine/Core/Common/GeFileData.h"
#include "Engine/Core/Pack/Harvester.h"
#include "tests/Support/TestTempDir.h"
#include "tools/fpk/FpkWriter.h"

#include <string>
#include <vector>

struct CPackFixtureFile {
    std::string name;
    std::string bytes;
};

inline std::string WriteFixturePack(const std::string& path, const std::vector<CPackFixtureFile>& files)
{
    std::string error;
    CFpkWriter writer;
    bool ok = writer.Open(path.c_str(), &error);
    for (const CPackFixtureFile& file : files) {
        ok = ok && writer.AddFile(file.name, reinterpret_cast<const uint8_t*>(file.bytes.data()), file.bytes.size(), &error);
    }
    ok = ok && writer.Finish(&error);
    return ok ? std::string() : error;
}

// A pack assembled by hand: blocks first, then the FAT block and the trailer.
class CRawPack {
public:
    // Appends a file block and its FAT entry; returns the block's offset.
    uint32_t AddFile(const std::string& name, const std::string& bytes)
    {
        std::vector<uint8_t> block = Block(bytes);
        uint32_t offset = static_cast<uint32_t>(pack.size());
        pack.insert(pack.end(), block.begin(), block.end());
        AppendFatEntry(fat, name, static_cast<uint32_t>(block.size()), offset);
        return offset;
    }

    static std::vector<uint8_t> Block(const std::string& bytes, uint32_t seed = 77)
    {
        return BuildPackBlock(reinterpret_cast<const uint8_t*>(bytes.data()), bytes.size(), seed);
    }

    // The finished pack: FAT block and its length appended.
    std::string Bytes() const
    {
        std::vector<uint8_t> whole = pack;
        std::vector<uint8_t> fatBlock = BuildPackBlock(fat.data(), fat.size(), 5);
        whole.insert(whole.end(), fatBlock.begin(), fatBlock.end());
        uint32_t length = static_cast<uint32_t>(fatBlock.size());
        for (int i = 0; i < 4; ++i)
            whole.push_back(static_cast<uint8_t>(length >> (8 * i)));
        return std::string(whole.begin(), whole.end());
    }

    std::vector<uint8_t> pack; // the file blocks so far
    std::vector<uint8_t> fat;  // the plain FAT so far
};

// Sets the pack path to dir/resource.fpk and mounts what is there.
inline uint32_t MountFixtureDirectory(const CTestTempDir& dir)
{
    CHarvester::Unmount();
    g_packPath = (dir / "resource.fpk").c_str();
    return CHarvester::Init();
}

inline std::string LoadAsString(const char* name)
{
    CGeFileData file = LoadFileData(name, true);
    std::string bytes = file.data ? std::string(reinterpret_cast<char*>(file.data), file.size) : std::string();
    FreeFileData(file);
    return bytes;
}
