#include "tests/fuzz/PackReaderFuzz.h"

#include "Engine/Core/Common/GeCrc32.h"
#include "Engine/Core/Common/GeError.h"
#include "Engine/Core/Common/GeFileData.h"
#include "Engine/Core/Common/GeLittleEndian.h"
#include "Engine/Core/Pack/DataPacker.h"
#include "Engine/Core/Pack/Harvester.h"
#include "Engine/Core/Pack/PackScrambler.h"
#include "Platform/System/PosixFiles.h"
#include "tools/fpk/FpkWriter.h"

#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <string>
#include <unistd.h>
#include <vector>

namespace {

int NoErrorBox(const char*, const char*)
{
    return 0;
}

// One scratch file per process, removed at exit.
const std::string& ScratchPack()
{
    static std::string path;
    if (path.empty()) {
        char pattern[] = "/tmp/qm-fuzz-pack-XXXXXX";
        int fd = mkstemp(pattern);
        if (fd >= 0)
            close(fd);
        path = pattern;
        atexit([] { unlink(path.c_str()); });
        GeSetErrorBoxFunction(NoErrorBox);
    }
    return path;
}

void AppendWord(std::vector<uint8_t>& out, uint32_t value)
{
    for (int i = 0; i < 4; ++i)
        out.push_back(static_cast<uint8_t>(value >> (8 * i)));
}

// A block around an arbitrary stream: the CRC matches, the stream need not.
std::vector<uint8_t> WrapStream(const uint8_t* stream, size_t length, uint32_t unpacked)
{
    std::vector<uint8_t> block(stream, stream + length);
    uint32_t crc = Crc32(static_cast<uint32_t>(length), block.data());
    AppendWord(block, unpacked);
    const uint32_t seed = 0x1234567u;
    ScramblePackBody(block.data(), block.size(), seed);
    AppendWord(block, seed);
    AppendWord(block, crc);
    return block;
}

std::vector<uint8_t> PackAroundFat(const uint8_t* fat, size_t size)
{
    static const char content[] = "the one valid block";
    std::vector<uint8_t> pack = BuildPackBlock(reinterpret_cast<const uint8_t*>(content), sizeof(content), 1);
    std::vector<uint8_t> fatBlock = BuildPackBlock(fat, size, 2);
    pack.insert(pack.end(), fatBlock.begin(), fatBlock.end());
    AppendWord(pack, static_cast<uint32_t>(fatBlock.size()));
    return pack;
}

void MountAndReadAll(const std::vector<uint8_t>& pack)
{
    const std::string& path = ScratchPack();
    int fd = open(path.c_str(), O_WRONLY | O_TRUNC | O_CLOEXEC);
    if (fd < 0)
        return;
    bool written = SysWriteFully(fd, pack.data(), pack.size());
    close(fd);
    if (!written)
        return;

    CHarvester::MountSinglePack(CGeString(path.c_str()));
    const CHarvester::Index& index = CHarvester::GetIndex();
    for (auto* node = index.first; node; node = index.Next(node)) {
        CGeFileData file;
        CHarvester::GetFile(file, node->key.c_str(), false);
        FreeFileData(file);
    }
    CHarvester::Unmount();
}

} // namespace

int FuzzPackReader(const uint8_t* data, size_t size)
{
    if (size < 1)
        return 0;
    const uint8_t mode = data[0] % 3;
    ++data;
    --size;
    if (mode == 0) {
        MountAndReadAll(std::vector<uint8_t>(data, data + size));
    } else if (mode == 1) {
        MountAndReadAll(PackAroundFat(data, size));
    } else if (size >= 4) {
        std::vector<uint8_t> block = WrapStream(data + 4, size - 4, ReadLe32(data));
        uint32_t length = static_cast<uint32_t>(block.size());
        free(DataPacker::Unpack(block.data(), length));
    }
    return 0;
}
