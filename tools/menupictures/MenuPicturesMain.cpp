// menupictures: writes the in-game menu's pictures for the demo game as
// uncompressed 32-bit TGA files under a data folder:
//
//   menupictures DIR
//
// DIR/menu/pic/<prop>/NN.tga: the frames of the ten props (64 x 64 each; the
// menu asks for "NN.dds" and the texture loader finds the TGA beside it). A
// prop is a disc of its own colour with a hand that turns once over its
// frames and a bar along the bottom as long as the frame's share of the run,
// so every frame differs from its neighbours.
// DIR/menu/pic/background.tga: the pages' backdrop, a dusk sky over dunes
// (256 x 256, stretched to the screen).
// DIR/menu/pic/menu_ui.tga: the controls' colours, 16 x 16 blocks in one row:
// white (tinted by the frames), button, button under the pointer, pressed
// button, disabled button, gold (the selection frame).
// DIR/menu/pic/switch.tga: the shadows switch, two 32 x 32 frames (off, on).
// DIR/menu/pic/games/game1..3.tga: the mini-games' pictures (128 x 96).
#include "Engine/Core/Common/GeSimd.h"
#include "Engine/Core/Gm/GLibLoc/D3d/GmFormatTable.h"
#include "Engine/Core/Gm/GmImage.h"
#include "Engine/Core/Gm/GmTgaWriter.h"

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>

namespace {

constexpr float kPi = 3.14159265f;

// A raw A8R8G8B8 image filled with one colour.
void MakeImage(CGmImage& image, uint32_t width, uint32_t height, uint32_t fill)
{
    image.FreeData();
    image.kind = GM_IMAGE_RAW;
    image.format = GM_FMT_A8R8G8B8;
    image.width = width;
    image.height = height;
    image.pitch = width * 4;
    image.data = static_cast<uint8_t*>(malloc((size_t)image.pitch * height));
    for (uint32_t i = 0; i < width * height; ++i)
        reinterpret_cast<uint32_t*>(image.data)[i] = fill;
}

uint32_t& At(CGmImage& image, uint32_t x, uint32_t y)
{
    return reinterpret_cast<uint32_t*>(image.data)[y * image.width + x];
}

void FillRect(CGmImage& image, uint32_t x0, uint32_t y0, uint32_t x1, uint32_t y1, uint32_t colour)
{
    for (uint32_t y = y0; y < y1 && y < image.height; ++y)
        for (uint32_t x = x0; x < x1 && x < image.width; ++x)
            At(image, x, y) = colour;
}

// Every pixel whose centre lies within the radius of (cx, cy).
template <typename Shade>
void FillDisc(CGmImage& image, float cx, float cy, float radius, Shade shade)
{
    for (uint32_t y = 0; y < image.height; ++y)
        for (uint32_t x = 0; x < image.width; ++x) {
            const float dx = (float)x + 0.5f - cx, dy = (float)y + 0.5f - cy;
            if (dx * dx + dy * dy <= radius * radius)
                At(image, x, y) = shade(dx, dy);
        }
}

bool Write(const CGmImage& image, const std::filesystem::path& path)
{
    std::filesystem::create_directories(path.parent_path());
    if (WriteImageTga(image, CGeString(path.string().c_str())))
        return true;
    fprintf(stderr, "menupictures: cannot write %s\n", path.string().c_str());
    return false;
}

struct Prop {
    const char* folder;
    uint32_t frames;
    uint32_t colour;
};

const Prop kProps[] = {
    {"blind", 32, 0xFFB08850},    {"pitcher", 81, 0xFFC06030}, {"cover", 11, 0xFF806040},
    {"compass", 31, 0xFFD0C080},  {"largefan", 41, 0xFF50A0A0}, {"scroll", 18, 0xFFE0D0A0},
    {"fire", 50, 0xFFFF8020},     {"dice", 36, 0xFFF0F0F0},     {"doors", 16, 0xFF705030},
    {"bird", 132, 0xFF8090C0},
};

bool WriteProp(const std::filesystem::path& root, const Prop& prop)
{
    bool written = true;
    CGmImage image;
    for (uint32_t frame = 0; frame < prop.frames; ++frame) {
        MakeImage(image, 64, 64, 0x00000000);
        FillDisc(image, 32.0f, 28.0f, 24.0f, [&](float, float) { return prop.colour; });
        const float angle = 2.0f * kPi * (float)frame / (float)prop.frames;
        for (float r = 0.0f; r < 22.0f; r += 0.5f) {
            const int x = (int)(32.0f + r * std::sin(angle)), y = (int)(28.0f - r * std::cos(angle));
            FillRect(image, (uint32_t)x - 1, (uint32_t)y - 1, (uint32_t)x + 2, (uint32_t)y + 2, 0xFF201008);
        }
        FillRect(image, 0, 58, 64 * (frame + 1) / prop.frames, 64, prop.colour);
        char name[16];
        snprintf(name, sizeof(name), "%02u.tga", frame);
        written = Write(image, root / "menu/pic" / prop.folder / name) && written;
    }
    return written;
}

bool WriteBackground(const std::filesystem::path& root)
{
    CGmImage image;
    MakeImage(image, 256, 256, 0xFF000000);
    for (uint32_t y = 0; y < 256; ++y) {
        const uint32_t red = 24 + y * 80 / 256, green = 16 + y * 40 / 256, blue = 64 - y * 40 / 256;
        FillRect(image, 0, y, 256, y + 1, 0xFF000000 | red << 16 | green << 8 | blue);
    }
    for (uint32_t x = 0; x < 256; ++x) {
        const uint32_t top = 200 + (uint32_t)(12.0f * std::sin((float)x * 0.05f));
        FillRect(image, x, top, x + 1, 256, 0xFF8A6034);
    }
    FillDisc(image, 190.0f, 60.0f, 14.0f, [](float, float) { return 0xFFF0E8C0u; });
    return Write(image, root / "menu/pic/background.tga");
}

bool WriteAtlas(const std::filesystem::path& root)
{
    const uint32_t colours[] = {0xFFFFFFFF, 0xFF6B4A2B, 0xFF9A6B3C, 0xFF4A3018, 0xFF555555, 0xFFFFD040};
    CGmImage image;
    MakeImage(image, 128, 16, 0x00000000);
    for (uint32_t i = 0; i < sizeof(colours) / sizeof(colours[0]); ++i)
        FillRect(image, i * 16, 0, i * 16 + 16, 16, colours[i]);
    if (!Write(image, root / "menu/pic/menu_ui.tga"))
        return false;
    MakeImage(image, 64, 32, 0xFF302010);
    FillRect(image, 4, 4, 28, 28, 0xFF555555);
    FillRect(image, 36, 4, 60, 28, colours[5]);
    return Write(image, root / "menu/pic/switch.tga");
}

bool WriteGames(const std::filesystem::path& root)
{
    const uint32_t colours[] = {0xFF3070C0, 0xFF30A050, 0xFFC03070};
    bool written = true;
    CGmImage image;
    for (uint32_t i = 0; i < 3; ++i) {
        MakeImage(image, 128, 96, 0xFF202020);
        FillDisc(image, 64.0f, 48.0f, 20.0f + 8.0f * (float)i, [&](float, float) { return colours[i]; });
        written = Write(image, root / "menu/pic/games" / ("game" + std::to_string(i + 1) + ".tga")) && written;
    }
    return written;
}

} // namespace

int main(int argc, char** argv)
{
    if (argc != 2) {
        fprintf(stderr, "usage: menupictures DIR\n");
        return 2;
    }
    const std::filesystem::path root = argv[1];
    GeSimdCreate(); // the TGA writer copies rows through the kernels
    bool written = WriteBackground(root) && WriteAtlas(root) && WriteGames(root);
    for (const Prop& prop : kProps)
        written = WriteProp(root, prop) && written;
    GeSimdDestroy();
    return written ? 0 : 1;
}
