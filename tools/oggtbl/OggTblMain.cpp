// oggtbl: writes the packet table of an Ogg Vorbis sound, so that the game
// loads the sound without decoding it.
//
//   oggtbl IN.ogg [OUT.tbl]
//
// OUT defaults to IN with ".tbl" appended, the name the game looks for. The
// entries are what the game's own sequential decode yields per packet (0 for
// the three headers and for the first audio packet, which only primes the
// overlap), from the same routine. A file that is not Ogg Vorbis gives one
// line on stderr and exit code 1; nothing is written then.
#include "Engine/Core/Sound/SmOggVorbis.h"

#include <cstdio>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

static void PutLe32(std::string& out, uint32_t v)
{
    for (int i = 0; i < 4; i++)
        out.push_back(static_cast<char>((v >> (8 * i)) & 0xFF));
}

int main(int argc, char** argv)
{
    if (argc < 2 || argc > 3) {
        fprintf(stderr, "usage: oggtbl IN.ogg [OUT.tbl]\n");
        return 2;
    }
    const std::string in = argv[1];
    const std::string out = argc == 3 ? argv[2] : in + ".tbl";
    std::ifstream file(in, std::ios::binary);
    if (!file) {
        fprintf(stderr, "oggtbl: cannot read %s\n", in.c_str());
        return 1;
    }
    const std::string bytes((std::istreambuf_iterator<char>(file)), std::istreambuf_iterator<char>());
    std::vector<uint32_t> table;
    uint32_t total = 0;
    if (bytes.size() > 0xFFFFFFFFu || !SmDecodeOggPacketTable(reinterpret_cast<const uint8_t*>(bytes.data()),
                                                              static_cast<uint32_t>(bytes.size()), table, total)) {
        fprintf(stderr, "oggtbl: %s is not an Ogg Vorbis stream\n", in.c_str());
        return 1;
    }
    std::string result = "QMOGGTBL";
    PutLe32(result, static_cast<uint32_t>(table.size() * 4));
    PutLe32(result, total);
    for (uint32_t entry : table)
        PutLe32(result, entry);
    std::ofstream output(out, std::ios::binary | std::ios::trunc);
    output.write(result.data(), static_cast<std::streamsize>(result.size()));
    if (!output) {
        fprintf(stderr, "oggtbl: cannot write %s\n", out.c_str());
        return 1;
    }
    printf("%s: %zu packets, %u PCM bytes\n", out.c_str(), table.size(), total);
    return 0;
}
