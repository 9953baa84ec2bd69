// walkgrid: draws a walk-grid file from a text picture.
//
//   walkgrid [options] PICTURE OUT     the picture's lines are the rows (see WalkGridWriter.h)
//   walkgrid --fuzz-seeds DIR          writes the walk-grid fuzz target's seed corpus
//
// Options: --legacy (5-byte cells, no surfaces), --cell SIZE (default 1),
// --origin X Z (low corner, default 0 0), --height H, --slope SX SZ (heights
// H + SX * column + SZ * row), --range LOW HIGH (stored only).
#include "tools/walkgrid/WalkGridWriter.h"

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <string>
#include <vector>

namespace {

bool WriteFile(const std::string& path, const std::vector<uint8_t>& bytes)
{
    std::ofstream out(path, std::ios::binary);
    out.write(reinterpret_cast<const char*>(bytes.data()), std::streamsize(bytes.size()));
    if (!out) {
        std::fprintf(stderr, "walkgrid: cannot write %s\n", path.c_str());
        return false;
    }
    return true;
}

// The fuzz target reads the last 16 bytes of its input as query points; the
// reader ignores bytes after the cells, so every seed carries them.
std::vector<uint8_t> Seed(const WalkGridImage& image, uint32_t fromX, uint32_t fromZ, uint32_t toX, uint32_t toZ)
{
    std::vector<uint8_t> bytes = image.Serialize();
    for (uint32_t word : {fromX, fromZ, toX, toZ})
        for (int shift = 0; shift < 32; shift += 8)
            bytes.push_back(uint8_t(word >> shift));
    return bytes;
}

bool WriteFuzzSeeds(const std::string& dir)
{
    WalkGridOptions options;
    options.cellSize = 10.0f;
    options.originX = -40.0f;
    options.originZ = -20.0f;
    options.slopeX = 0.5f;
    const uint32_t low = 0x20000000u, high = 0xE0000000u, mid = 0x80000000u;

    const std::vector<std::string> maze = {
        "................",
        ".######.#######.",
        ".#....#.#.....#.",
        ".#.##.#.#.###.#.",
        ".#.#..#...#.#.#.",
        ".#.#.######.#.#.",
        ".#.#........#.#.",
        ".#.##########.#.",
        ".#............#.",
        ".##############.",
        "................",
    };
    struct Named {
        const char* name;
        std::vector<uint8_t> bytes;
    };
    std::vector<Named> seeds;
    WalkGridImage tiny = WalkGridFromPicture({"...", ".#.", "..."}, options);
    WalkGridOptions legacyOptions = options;
    legacyOptions.tagged = false;
    seeds.push_back({"ok_legacy_3x3", Seed(WalkGridFromPicture({"...", ".#.", "..."}, legacyOptions), low, low, high, high)});
    WalkGridImage surfaces = WalkGridFromPicture({"0123", "4#+5", "67.8", "9..."}, options);
    surfaces.At(2, 2).height = 1e30f;
    surfaces.At(3, 0).height = NAN;
    seeds.push_back({"ok_surfaces_4x4", Seed(surfaces, low, mid, high, mid)});
    seeds.push_back({"ok_maze", Seed(WalkGridFromPicture(maze, options), 0x48000000u, 0x70000000u, low, low)});
    seeds.push_back({"ok_blocked_target", Seed(WalkGridFromPicture(maze, options), low, low, 0x30000000u, 0x28000000u)});
    WalkGridImage scaled = WalkGridFromPicture(maze, options);
    scaled.cellsPerUnit *= 2.0f;
    seeds.push_back({"ok_scale_past_cells", Seed(scaled, high, high, low, mid)});
    WalkGridImage huge = WalkGridFromPicture({"....", ".##.", "...."}, options);
    huge.boundsMin[0] = -3e38f;
    huge.boundsMax[0] = 3e38f;
    huge.cellSize = 1e38f;
    huge.cellsPerUnit = 1e-38f;
    seeds.push_back({"ok_huge_bounds", Seed(huge, low, low, high, high)});

    WalkGridImage bad = tiny;
    bad.count = 8;
    seeds.push_back({"bad_count", Seed(bad, low, low, high, high)});
    std::vector<uint8_t> cut = tiny.Serialize();
    cut.resize(cut.size() - 1);
    seeds.push_back({"bad_cut_records", cut});
    bad = tiny;
    bad.boundsMax[2] = NAN;
    seeds.push_back({"bad_nan_bounds", Seed(bad, low, low, high, high)});
    bad = tiny;
    bad.cellSize = INFINITY;
    seeds.push_back({"bad_infinite_cell", Seed(bad, low, low, high, high)});
    bad = tiny;
    bad.boundsMax[0] = bad.boundsMin[0];
    seeds.push_back({"bad_flat_bounds", Seed(bad, low, low, high, high)});
    bad = tiny;
    bad.width = 0;
    seeds.push_back({"bad_no_columns", Seed(bad, low, low, high, high)});
    bad = tiny;
    bad.cellsPerUnit = -0.1f;
    seeds.push_back({"bad_negative_scale", Seed(bad, low, low, high, high)});

    for (const Named& seed : seeds)
        if (!WriteFile(dir + "/" + seed.name, seed.bytes))
            return false;
    return true;
}

bool ReadPicture(const char* path, std::vector<std::string>& rows)
{
    std::ifstream in(path);
    if (!in) {
        std::fprintf(stderr, "walkgrid: cannot read %s\n", path);
        return false;
    }
    std::string line;
    while (std::getline(in, line)) {
        if (!line.empty() && line.back() == '\r')
            line.pop_back();
        if (!line.empty())
            rows.push_back(line);
    }
    return true;
}

int Usage()
{
    std::fprintf(stderr, "usage: walkgrid [--legacy] [--cell SIZE] [--origin X Z] [--height H] [--slope SX SZ]\n"
                         "                [--range LOW HIGH] PICTURE OUT\n"
                         "       walkgrid --fuzz-seeds DIR\n");
    return 2;
}

} // namespace

int main(int argc, char** argv)
{
    if (argc == 3 && std::strcmp(argv[1], "--fuzz-seeds") == 0)
        return WriteFuzzSeeds(argv[2]) ? 0 : 1;
    WalkGridOptions options;
    std::vector<const char*> files;
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        auto number = [&]() { return i + 1 < argc ? std::strtof(argv[++i], nullptr) : NAN; };
        if (arg == "--legacy") {
            options.tagged = false;
        } else if (arg == "--cell") {
            options.cellSize = number();
        } else if (arg == "--origin") {
            options.originX = number();
            options.originZ = number();
        } else if (arg == "--height") {
            options.heightBase = number();
        } else if (arg == "--slope") {
            options.slopeX = number();
            options.slopeZ = number();
        } else if (arg == "--range") {
            options.rangeLow = number();
            options.rangeHigh = number();
        } else if (arg.size() > 1 && arg[0] == '-') {
            return Usage();
        } else {
            files.push_back(argv[i]);
        }
    }
    if (files.size() != 2 || !(options.cellSize > 0.0f) || !std::isfinite(options.cellSize))
        return Usage();
    std::vector<std::string> rows;
    if (!ReadPicture(files[0], rows))
        return 1;
    std::string error;
    const WalkGridImage image = WalkGridFromPicture(rows, options, &error);
    if (image.count == 0) {
        std::fprintf(stderr, "walkgrid: %s: %s\n", files[0], error.c_str());
        return 1;
    }
    return WriteFile(files[1], image.Serialize()) ? 0 : 1;
}
