// Writes the demo game's pictures as uncompressed 32-bit TGA files:
//
//   demopictures DIR
//
// DIR/Textures/logo.tga: a copper-coloured kettle shape on a night-blue sky,
// 640 x 320; DIR/Textures/loading.tga: a ring of dots, 256 x 64;
// DIR/Gui/pic/hint.tga: the hint panel, 360 x 110;
// DIR/Gui/cursors.tga: the twenty cursors, 64 x 64 cells five to a row, each a
// dark-rimmed disc with a bright dot where its hot spot lies. For the first
// location, in DIR/Textures: sign.tga (a yellow board, 64 x 64), glow.tga (a
// cyan disc whose clear corners are its mask, 64 x 64), lamp.tga (a magenta
// disc, 32 x 32), clouds.tga (pale streaks, 64 x 64), spark.tga (8 x 8),
// bird.tga (a white gull with grey wing tips, 48 x 24), flag.tga (four
// 64 x 64 frames of a waving flag), water.tga (stripes, 64 x 64) and
// shadow_blob.tga (a soft black disc, 32 x 32).
// For the puzzle, in DIR/Textures: puzzle_board.tga (a dark wooden board,
// 512 x 224) and puzzle_tile1.tga to puzzle_tile3.tga (red, green and blue
// tiles, 128 x 128, each with a light mark at the middle of its top edge, so
// that a tile stands upright when its mark is on top).
// For the inventory, in DIR/Inventory: panel.tga (the strip's dark wood),
// cell.tga (a cell's inset), menu.tga (the menu button), hint.tga (the
// tooltip's ground), void.tga (clear, 8 x 8) and in icons/ the three items'
// 64 x 64 pictures: taper.tga (a white candle), tinderbox.tga (a brown box
// with a grey flint) and lit_taper.tga (the candle with its flame); in
// DIR/Textures lantern.tga (the yard's lantern, two 64 x 64 frames: dark,
// then lit); DIR/psystextures/boom_p0.tga (the inventory's spark, 16 x 16).
// For the keys game: DIR/backgrounds/loc17/key_KK_V.tga for kinds KK 00 to 12
// and variants V 0 and 1 (the two keys of a kind look alike): 112 x 56, two
// 56 x 56 frames, the key (a ring, a shaft and a kind's own bit in its own
// colour, clear around it) and its glow (the same shape, wider, white and
// half clear) and DIR/menu/pic/games/keys.tga, the game's picture for the
// mini-games page, 128 x 96. Its sparks are the inventory's.
// All are drawn from simple shapes so that the demo's data is all the
// project's own.
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <string>
#include <utility>
#include <vector>

namespace {

struct Picture {
    int width;
    int height;
    std::vector<uint32_t> pixels; // 0xAARRGGBB, top row first

    Picture(int w, int h, uint32_t fill) : width(w), height(h), pixels((size_t)w * h, fill) {}

    void Disc(float cx, float cy, float radius, uint32_t colour)
    {
        for (int y = 0; y < height; ++y) {
            for (int x = 0; x < width; ++x) {
                const float dx = (float)x + 0.5f - cx;
                const float dy = (float)y + 0.5f - cy;
                if (dx * dx + dy * dy <= radius * radius)
                    pixels[(size_t)y * width + x] = colour;
            }
        }
    }

    void Box(int x0, int y0, int x1, int y1, uint32_t colour)
    {
        for (int y = y0; y < y1 && y < height; ++y)
            for (int x = x0; x < x1 && x < width; ++x)
                pixels[(size_t)y * width + x] = colour;
    }
};

bool WriteTga(const Picture& picture, const std::string& path)
{
    FILE* file = fopen(path.c_str(), "wb");
    if (!file)
        return false;
    uint8_t header[18] = {};
    header[2] = 2; // uncompressed true colour
    header[12] = (uint8_t)(picture.width & 0xFF);
    header[13] = (uint8_t)(picture.width >> 8);
    header[14] = (uint8_t)(picture.height & 0xFF);
    header[15] = (uint8_t)(picture.height >> 8);
    header[16] = 32;
    header[17] = 0x28; // 8 alpha bits, top row first
    bool ok = fwrite(header, sizeof(header), 1, file) == 1;
    for (uint32_t pixel : picture.pixels) {
        const uint8_t bgra[4] = {(uint8_t)pixel, (uint8_t)(pixel >> 8), (uint8_t)(pixel >> 16), (uint8_t)(pixel >> 24)};
        ok = ok && fwrite(bgra, 4, 1, file) == 1;
    }
    return fclose(file) == 0 && ok;
}

// The inventory's panel, cells, button, tooltip and item icons, the yard's
// lantern that the lit taper lights, and the spark of a flying item.
bool WriteInventoryPictures(const std::string& root, const std::string& textures)
{
    std::error_code error;
    const std::string inventory = root + "/Inventory", icons = inventory + "/icons", sparks = root + "/psystextures";
    std::filesystem::create_directories(icons, error);
    std::filesystem::create_directories(sparks, error);

    Picture panel(64, 64, 0xF0402818);
    panel.Box(0, 0, 64, 4, 0xFF7A5030);
    panel.Box(0, 60, 64, 64, 0xFF7A5030);
    Picture cell(64, 64, 0xFF7A5030);
    cell.Box(3, 3, 61, 61, 0xFF20140C);
    Picture menu(48, 48, 0x00000000);
    menu.Disc(24.0f, 24.0f, 22.0f, 0xFFC87533);
    for (int bar = 0; bar < 3; ++bar)
        menu.Box(13, 14 + bar * 8, 35, 18 + bar * 8, 0xFFF8F0D8);
    Picture hint(16, 16, 0xE0102040);
    Picture clear(8, 8, 0x00000000);

    const uint32_t wax = 0xFFF4F0E0, flame = 0xFFFFC020;
    Picture taper(64, 64, 0x00000000);
    taper.Box(26, 20, 38, 60, wax);
    taper.Box(31, 12, 33, 20, 0xFF303030); // the wick
    Picture tinderbox(64, 64, 0x00000000);
    tinderbox.Box(8, 24, 56, 56, 0xFF8A5A2A);
    tinderbox.Box(8, 24, 56, 28, 0xFFB07A40); // the lid's edge
    tinderbox.Disc(40.0f, 18.0f, 9.0f, 0xFF9098A0); // the flint on top
    Picture litTaper = taper;
    litTaper.Disc(32.0f, 8.0f, 7.0f, flame);
    litTaper.Disc(32.0f, 9.0f, 3.0f, 0xFFFFFFE0);

    // Two frames: the lantern dark, then with its glass aglow.
    Picture lantern(128, 64, 0x00000000);
    for (int frame = 0; frame < 2; ++frame) {
        const int x = frame * 64;
        lantern.Box(x + 16, 4, x + 48, 10, 0xFF303030);  // the cap
        lantern.Box(x + 14, 10, x + 50, 58, 0xFF303030); // the frame
        lantern.Box(x + 18, 14, x + 46, 54, frame == 0 ? 0xFF283040 : flame);
    }
    lantern.Disc(96.0f, 34.0f, 8.0f, 0xFFFFFFE0);

    Picture spark(16, 16, 0x00000000);
    spark.Disc(8.0f, 8.0f, 7.5f, 0xFFFF9020);
    spark.Disc(8.0f, 8.0f, 3.5f, 0xFFFFF0C0);

    const std::pair<const Picture*, std::string> pictures[] = {
        {&panel, inventory + "/panel.tga"},          {&cell, inventory + "/cell.tga"},
        {&menu, inventory + "/menu.tga"},            {&hint, inventory + "/hint.tga"},
        {&clear, inventory + "/void.tga"},           {&taper, icons + "/taper.tga"},
        {&tinderbox, icons + "/tinderbox.tga"},      {&litTaper, icons + "/lit_taper.tga"},
        {&lantern, textures + "/lantern.tga"},       {&spark, sparks + "/boom_p0.tga"},
    };
    bool written = true;
    for (const auto& picture : pictures)
        written = WriteTga(*picture.first, picture.second) && written;
    return written;
}

// The key of a kind in the frame whose left edge is x0; grow widens every
// shape (the glow).
void DrawKey(Picture& picture, int x0, int kind, float grow, uint32_t colour)
{
    const float fx = (float)x0;
    picture.Disc(fx + 16.0f, 28.0f, 12.0f + grow, colour);
    if (grow == 0.0f)
        picture.Disc(fx + 16.0f, 28.0f, 5.0f, 0x00000000); // the ring's hole
    const int g = (int)grow;
    picture.Box(x0 + 26 - g, 25 - g, x0 + 52 + g, 31 + g, colour); // the shaft
    // The bit: two teeth whose depths spell the kind.
    for (int tooth = 0; tooth < 2; ++tooth) {
        const int depth = 4 + 3 * ((kind >> (2 * tooth)) & 3);
        const int left = x0 + 38 + 7 * tooth;
        picture.Box(left - g, 31, left + 5 + g, 31 + depth + g, colour);
    }
    if (kind >= 8) // the upper kinds have a notch on the ring
        picture.Box(x0 + 13 - g, 12 - g, x0 + 19 + g, 17, colour);
}

bool WriteKeysPictures(const std::string& root)
{
    std::error_code error;
    const std::string keys = root + "/backgrounds/loc17";
    std::filesystem::create_directories(keys, error);
    std::filesystem::create_directories(root + "/menu/pic/games", error);
    bool written = true;
    for (int kind = 0; kind < 13; ++kind) {
        // Thirteen colours around the colour wheel, bright enough on the wall.
        const float angle = 6.2831853f * (float)kind / 13.0f;
        const auto channel = [&](float shift) {
            return (uint32_t)(150.0f + 100.0f * std::cos(angle + shift));
        };
        const uint32_t colour = 0xFF000000u | channel(0.0f) << 16 | channel(2.094f) << 8 | channel(4.189f);
        Picture key(112, 56, 0x00000000);
        DrawKey(key, 56, kind, 4.0f, 0x80FFFFFF);
        DrawKey(key, 0, kind, 0.0f, colour);
        for (int variant = 0; variant < 2; ++variant) {
            char name[32];
            snprintf(name, sizeof(name), "/key_%02d_%d.tga", kind, variant);
            written = WriteTga(key, keys + name) && written;
        }
    }
    Picture page(128, 96, 0xFF503418);
    for (int kind = 0; kind < 3; ++kind)
        DrawKey(page, 8 + 40 * kind, kind * 5, 0.0f, 0xFFE0B040);
    return WriteTga(page, root + "/menu/pic/games/keys.tga") && written;
}

} // namespace

int main(int argc, char** argv)
{
    if (argc != 2) {
        fprintf(stderr, "usage: demopictures DIR\n");
        return 2;
    }
    const std::string textures = std::string(argv[1]) + "/Textures";
    std::error_code error;
    std::filesystem::create_directories(textures, error);

    const uint32_t copper = 0xFFC87533;
    Picture logo(640, 320, 0xFF101838);
    for (int star = 0; star < 40; ++star)
        logo.Disc((float)((star * 149) % 640), (float)((star * 71) % 120), 1.5f, 0xFFE8E8FF);
    logo.Disc(320.0f, 200.0f, 90.0f, copper);     // the kettle's body
    logo.Box(250, 100, 390, 125, copper);         // its lid
    logo.Disc(320.0f, 95.0f, 14.0f, copper);      // the knob
    logo.Box(390, 160, 470, 180, copper);         // the spout
    logo.Disc(230.0f, 200.0f, 40.0f, 0xFF101838); // the handle's hole
    logo.Box(0, 290, 640, 320, 0xFF1E3C78);       // the sea

    Picture loading(256, 64, 0x00000000);
    for (int dot = 0; dot < 8; ++dot) {
        const float angle = (float)dot * 0.785398f;
        const uint8_t alpha = (uint8_t)(64 + dot * 24);
        loading.Disc(128.0f + 24.0f * std::cos(angle), 32.0f + 24.0f * std::sin(angle), 5.0f,
                     (uint32_t)alpha << 24 | (copper & 0xFFFFFF));
    }

    // The cursors' hot spots as start-up sets them, in cursor order.
    const int hotSpots[20][2] = {{4, 5},  {5, 9},  {12, 12}, {6, 11},  {11, 6},  {9, 9},  {9, 9},
                                 {7, 2},  {8, 12}, {2, 2},   {11, 11}, {2, 2},   {4, 5},  {9, 13},
                                 {9, 13}, {9, 13}, {21, 15}, {4, 5},   {25, 39}, {31, 31}};
    Picture cursors(320, 256, 0x00000000);
    for (int index = 0; index < 20; ++index) {
        const float x = (float)(index % 5 * 64 + hotSpots[index][0]);
        const float y = (float)(index / 5 * 64 + hotSpots[index][1]);
        const uint32_t fill = 0xE0000000 | (uint32_t)(0x40 + index * 9) << 16 | 0x6020;
        cursors.Disc(x + 6.0f, y + 6.0f, 9.0f, 0xFF202020);
        cursors.Disc(x + 6.0f, y + 6.0f, 7.0f, fill);
        cursors.Disc(x + 0.5f, y + 0.5f, 2.0f, 0xFFFFFFFF);
    }

    Picture sign(64, 64, 0xFF503010);
    sign.Box(4, 4, 60, 60, 0xFFF0D020);
    Picture glow(64, 64, 0x00000000);
    glow.Disc(32.0f, 32.0f, 30.0f, 0xFF20C8E0);
    Picture lamp(32, 32, 0x00000000);
    lamp.Disc(16.0f, 16.0f, 15.0f, 0xFFE020C0);
    Picture clouds(64, 64, 0xFFB0C8E8);
    for (int streak = 0; streak < 6; ++streak)
        clouds.Box((streak * 23) % 48, streak * 10 + 3, (streak * 23) % 48 + 16, streak * 10 + 6, 0xFFF4F8FF);
    Picture spark(8, 8, 0x00000000);
    spark.Disc(4.0f, 4.0f, 3.5f, 0xFFFFC040);
    Picture bird(48, 24, 0x00000000);
    for (int step = 0; step < 10; ++step) { // two wings rising from the body
        const float x = 2.0f * float(step);
        bird.Disc(4.0f + x, 6.0f + 0.8f * x, 3.5f, step < 2 ? 0xFF707880 : 0xFFF8F8F8);
        bird.Disc(44.0f - x, 6.0f + 0.8f * x, 3.5f, step < 2 ? 0xFF707880 : 0xFFF8F8F8);
    }
    bird.Disc(24.0f, 21.0f, 4.0f, 0xFFFFFFFF);
    // The flag's four frames side by side, its cloth lower in each.
    Picture flag(256, 64, 0x00000000);
    for (int frame = 0; frame < 4; ++frame) {
        flag.Box(frame * 64 + 6, 4, frame * 64 + 10, 60, 0xFF6A4A2A);
        flag.Box(frame * 64 + 10, 6 + frame * 4, frame * 64 + 58, 30 + frame * 4, 0xFFD02828);
    }
    // The harbour water: stripes across u, so that its drift shows.
    Picture water(64, 64, 0xFF1E4C96);
    for (int stripe = 0; stripe < 4; ++stripe)
        water.Box(stripe * 16, 0, stripe * 16 + 6, 64, 0xFF4C8CD2);
    // A drop shadow's blob: black, denser towards its middle.
    Picture blob(32, 32, 0x00000000);
    for (int ring = 0; ring < 4; ++ring)
        blob.Disc(16.0f, 16.0f, 15.0f - 3.5f * float(ring), (uint32_t)(0x40 + ring * 0x30) << 24);
    const std::pair<const Picture*, const char*> locationPictures[] = {
        {&sign, "/sign.tga"},   {&glow, "/glow.tga"}, {&lamp, "/lamp.tga"}, {&clouds, "/clouds.tga"},
        {&spark, "/spark.tga"}, {&bird, "/bird.tga"}, {&flag, "/flag.tga"}, {&water, "/water.tga"},
        {&blob, "/shadow_blob.tga"},
    };
    bool written = true;
    for (const auto& picture : locationPictures)
        written = WriteTga(*picture.first, textures + picture.second) && written;

    Picture board(512, 224, 0xFF3C2410);
    board.Box(8, 8, 504, 216, 0xFF6A4424);
    written = WriteTga(board, textures + "/puzzle_board.tga") && written;
    const uint32_t tileColours[3] = {0xFFC83228, 0xFF28A050, 0xFF2850C8};
    for (int tile = 0; tile < 3; ++tile) {
        Picture picture(128, 128, 0xFF202020);
        picture.Box(6, 6, 122, 122, tileColours[tile]);
        picture.Box(44, 10, 84, 40, 0xFFF8F0D8); // the mark
        written = WriteTga(picture, textures + "/puzzle_tile" + std::to_string(tile + 1) + ".tga") && written;
    }

    // The hint panel: a night-blue board edged in copper, its pointer below
    // in the picture's bottom 29 rows, under which the text is centred.
    Picture hint(360, 110, 0x00000000);
    hint.Box(0, 0, 360, 81, copper);
    hint.Box(3, 3, 357, 78, 0xE8182440);
    for (int row = 0; row < 29; ++row)
        hint.Box(40 + row / 2, 81 + row, 72 - row / 2, 82 + row, copper);

    written = WriteInventoryPictures(argv[1], textures) && written;

    const std::string gui = std::string(argv[1]) + "/Gui";
    std::filesystem::create_directories(gui + "/pic", error);
    if (!written || !WriteTga(logo, textures + "/logo.tga") || !WriteTga(loading, textures + "/loading.tga") ||
        !WriteTga(cursors, gui + "/cursors.tga") || !WriteTga(hint, gui + "/pic/hint.tga") ||
        !WriteKeysPictures(argv[1])) {
        fprintf(stderr, "demopictures: cannot write into %s\n", argv[1]);
        return 1;
    }
    return 0;
}
