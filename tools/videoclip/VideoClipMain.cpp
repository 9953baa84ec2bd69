// videoclip: writes a synthetic Ogg Theora clip, each picture showing its
// index in light and dark cells over a moving ramp.
//
//   videoclip <out.ogv> <frames> <frames per second> <width> <height>
//
// Width and height are rounded up to even numbers (the encoder's 4:2:0
// pictures need them).
#include "tools/videoclip/TheoraClipWriter.h"

#include <cstdio>
#include <cstdlib>

namespace {

bool ReadCount(const char* text, uint32_t low, uint32_t high, uint32_t& value)
{
    char* end = nullptr;
    const unsigned long number = strtoul(text, &end, 10);
    if (!end || *end || number < low || number > high)
        return false;
    value = uint32_t(number);
    return true;
}

} // namespace

int main(int argc, char** argv)
{
    theoraclip::ClipSpec spec;
    if (argc != 6 || !ReadCount(argv[2], 1, 100000, spec.frames) || !ReadCount(argv[3], 1, 240, spec.fpsNumerator) ||
        !ReadCount(argv[4], 16, 4096, spec.width) || !ReadCount(argv[5], 16, 4096, spec.height)) {
        fprintf(stderr, "usage: videoclip <out.ogv> <frames> <frames per second> <width> <height>\n");
        return 2;
    }
    spec.width += spec.width & 1;
    spec.height += spec.height & 1;
    spec.fpsDenominator = 1;
    spec.keyInterval = 16;
    spec.detail = true;
    const theoraclip::Clip clip = theoraclip::MakeTheoraClip(spec);
    if (clip.bytes.empty()) {
        fprintf(stderr, "videoclip: the encoder refused the clip\n");
        return 1;
    }
    FILE* file = fopen(argv[1], "wb");
    if (!file || fwrite(clip.bytes.data(), 1, clip.bytes.size(), file) != clip.bytes.size()) {
        fprintf(stderr, "videoclip: cannot write %s\n", argv[1]);
        if (file)
            fclose(file);
        return 1;
    }
    return fclose(file) == 0 ? 0 : 1;
}
