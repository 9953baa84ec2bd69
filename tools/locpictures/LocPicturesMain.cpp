// Paints a location's background pictures from a painting description:
//
//   locpictures LOCATION.xml PAINTING.xml OUTDIR
//
// The camera is the location file's first camera; the pictures go to the
// paths the painting names, below OUTDIR.
#include "LocationPainter.h"

#include <cstdio>

int main(int argc, char** argv)
{
    if (argc != 4) {
        std::fprintf(stderr, "usage: locpictures LOCATION.xml PAINTING.xml OUTDIR\n");
        return 2;
    }
    std::string error;
    PaintCamera camera;
    Painting painting;
    if (!ReadLocationCamera(argv[1], camera, error) || !ReadPainting(argv[2], painting, error)) {
        std::fprintf(stderr, "locpictures: %s\n", error.c_str());
        return 1;
    }
    if (!WritePaintedPictures(argv[3], painting, camera)) {
        std::fprintf(stderr, "locpictures: cannot write below %s\n", argv[3]);
        return 1;
    }
    return 0;
}
