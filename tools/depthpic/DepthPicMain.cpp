// depthpic: writes a depth picture for a location background.
//
//   depthpic <out.tga> <width> <height> <depth> [<x0> <y0> <x1> <y1> <depth>]...
//
// The picture starts at one depth everywhere; each group of five numbers then
// sets a rectangle [x0, x1) x [y0, y1) to its own depth. A depth of "none"
// marks pixels without geometry.
#include "DepthPictureWriter.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace {

float DepthOf(const char* text)
{
    return strcmp(text, "none") == 0 ? kDepthNoGeometry : float(atof(text));
}

} // namespace

int main(int argc, char** argv)
{
    if (argc < 5 || (argc - 5) % 5 != 0) {
        fprintf(stderr, "usage: depthpic <out.tga> <width> <height> <depth> [<x0> <y0> <x1> <y1> <depth>]...\n");
        return 2;
    }
    const int width = atoi(argv[2]);
    const int height = atoi(argv[3]);
    if (width <= 0 || height <= 0 || width > 65535 || height > 65535) {
        fprintf(stderr, "depthpic: the size must be 1 to 65535 pixels a side\n");
        return 2;
    }
    DepthPicture picture(uint32_t(width), uint32_t(height), DepthOf(argv[4]));
    for (int i = 5; i + 4 < argc; i += 5)
        picture.Fill(uint32_t(atoi(argv[i])), uint32_t(atoi(argv[i + 1])), uint32_t(atoi(argv[i + 2])),
                     uint32_t(atoi(argv[i + 3])), DepthOf(argv[i + 4]));
    if (!WriteDepthPicture(picture, argv[1])) {
        fprintf(stderr, "depthpic: cannot write %s\n", argv[1]);
        return 1;
    }
    return 0;
}
