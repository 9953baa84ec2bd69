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

// The valid block at offset 0, then the FAT packed into a valid block.
std::vector<uint8_t> PackAround(const std::vector<uint8_t>& valid, const uint8_t* fat, size_t size)
{
    std::vector<uint8_t> pack = valid;
    std::vector<uint8_t> fatBlock = BuildPackBlock(fat, size, 2);
    pack.insert(pack.end(), fatBlock.begin(), fatBlock.end());
    AppendWord(pack, static_cast<uint32_t>(fatBlock.size()));
    return pack;
}

// The unpacked length a block states (behind its stream, under the
// scrambling); a complete read gives exactly this many bytes.
uint32_t StatedLength(const uint8_t* block, uint32_t size)
{
    if (size < DataPacker::kBlockOverhead)
        return 0;
    std::vector<uint8_t> copy(block, block + size);
    ScramblePackBody(copy.data(), size - 8, ReadLe32(block + size - 8));
    return ReadLe32(copy.data() + size - 12);
}

// Mounts the pack and reads every name it gives. Taken: the mount read the
// whole FAT. Either way every name must lie inside the pack, and every read
// give nothing (an error) or all the bytes its block states; known, when
// given, is a block whose content every name that points at it must give.
void MountAndReadAll(const std::vector<uint8_t>& pack, FuzzOutcome& outcome,
                     const std::vector<uint8_t>* known = nullptr, const uint8_t* knownContent = nullptr,
                     size_t knownSize = 0)
{
    const std::string& path = ScratchPack();
    int fd = open(path.c_str(), O_WRONLY | O_TRUNC | O_CLOEXEC);
    if (fd < 0)
        return;
    bool written = SysWriteFully(fd, pack.data(), pack.size());
    close(fd);
    if (!written)
        return;

    outcome.taken = CHarvester::MountSinglePack(CGeString(path.c_str()));
    const CHarvester::Index& index = CHarvester::GetIndex();
    for (auto* node = index.first; node; node = index.Next(node)) {
        const PackEntry entry = node->value;
        const bool inside = uint64_t(entry.offset) + entry.size <= pack.size();
        FUZZ_EXPECT(outcome, inside);
        CGeFileData file;
        CHarvester::GetFile(file, node->key.c_str(), false);
        if (file.data && inside) {
            FUZZ_EXPECT(outcome, file.size == StatedLength(pack.data() + entry.offset, entry.size));
            FUZZ_EXPECT(outcome, file.path == node->key);
        }
        if (known && entry.offset == 0 && entry.size == known->size())
            FUZZ_EXPECT(outcome,
                        file.data && file.size == knownSize && memcmp(file.data, knownContent, knownSize) == 0);
        FreeFileData(file);
    }
    CHarvester::Unmount();
}

} // namespace

FuzzOutcome RunPackReaderFuzz(const uint8_t* data, size_t size)
{
    FuzzOutcome outcome;
    if (size < 1)
        return outcome;
    const uint8_t mode = data[0] % 3;
    ++data;
    --size;
    if (mode == 0) {
        MountAndReadAll(std::vector<uint8_t>(data, data + size), outcome);
    } else if (mode == 1) {
        static const char content[] = "the one valid block";
        const std::vector<uint8_t> valid =
            BuildPackBlock(reinterpret_cast<const uint8_t*>(content), sizeof(content), 1);
        MountAndReadAll(PackAround(valid, data, size), outcome, &valid, reinterpret_cast<const uint8_t*>(content),
                        sizeof(content));
    } else if (size >= 4) {
        const uint32_t stated = ReadLe32(data);
        std::vector<uint8_t> block = WrapStream(data + 4, size - 4, stated);
        uint32_t length = static_cast<uint32_t>(block.size());
        uint8_t* unpacked = DataPacker::Unpack(block.data(), length);
        outcome.taken = unpacked != nullptr;
        FUZZ_EXPECT(outcome, !unpacked || length == stated);
        free(unpacked);
    }
    return outcome;
}

int FuzzPackReader(const uint8_t* data, size_t size)
{
    return FuzzVerdict(RunPackReaderFuzz(data, size), "PackReaderFuzz.cpp");
}
