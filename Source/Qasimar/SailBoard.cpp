#include "Source/Qasimar/SailBoard.h"

#include "Engine/Core/Common/GeRandom.h"
#include "Engine/Core/Common/GeTimer.h"
#include "Engine/Core/Gm/GmResCollector.h"
#include "Engine/Core/Gm/GmSprite.h"
#include "Engine/Core/Gm/GmTexture.h"
#include "Source/GameClasses/QmGameProcessor.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>

const uint8_t kSailInitialCells[kSailRows][kSailColumns] = {
    {0, 0, 0, 0, 0, 0, 0, 0, 1, 0, 0, 0, 1, 0, 1, 0},
    {0, 0, 0, 0, 0, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 0},
    {0, 0, 0, 0, 1, 1, 0, 0, 1, 1, 1, 1, 1, 1, 0, 0},
    {0, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 0, 0},
    {1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 0},
    {1, 0, 0, 0, 0, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 0},
    {0, 0, 1, 0, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 0},
    {0, 1, 1, 1, 1, 0, 0, 1, 1, 1, 1, 1, 1, 1, 1, 0},
    {0, 0, 0, 1, 0, 0, 1, 1, 1, 1, 1, 1, 0, 0, 0, 0},
    {0, 0, 0, 0, 0, 0, 1, 1, 1, 0, 0, 0, 0, 0, 0, 0},
};

const uint8_t kSailShapes[6][6][2][4] = {
    {
        {{0, 6, 0, 0}, {4, 5, 3, 0}},
        {{4, 5, 6, 0}, {0, 3, 0, 0}},
        {{0, 4, 0, 0}, {3, 5, 6, 0}},
        {{3, 5, 4, 0}, {0, 6, 0, 0}},
        {{0, 3, 0, 0}, {6, 5, 4, 0}},
        {{6, 5, 3, 0}, {0, 4, 0, 0}},
    },
    {
        {{7, 2, 0, 0}, {0, 0, 0, 0}},
        {{0, 7, 0, 0}, {0, 2, 0, 0}},
        {{0, 2, 7, 0}, {0, 0, 0, 0}},
        {{2, 7, 0, 0}, {0, 0, 0, 0}},
        {{0, 2, 0, 0}, {0, 7, 0, 0}},
        {{0, 7, 2, 0}, {0, 0, 0, 0}},
    },
    {
        {{0, 6, 0, 0}, {0, 0, 0, 0}},
        {{6, 0, 0, 0}, {0, 0, 0, 0}},
        {{0, 6, 0, 0}, {0, 0, 0, 0}},
        {{6, 0, 0, 0}, {0, 0, 0, 0}},
        {{0, 6, 0, 0}, {0, 0, 0, 0}},
        {{6, 0, 0, 0}, {0, 0, 0, 0}},
    },
    {
        {{0, 4, 0, 0}, {0, 7, 5, 0}},
        {{0, 7, 4, 0}, {0, 5, 0, 0}},
        {{0, 5, 7, 4}, {0, 0, 0, 0}},
        {{5, 7, 0, 0}, {0, 4, 0, 0}},
        {{0, 5, 0, 0}, {4, 7, 0, 0}},
        {{4, 7, 5, 0}, {0, 0, 0, 0}},
    },
    {
        {{0, 4, 0, 0}, {0, 0, 0, 5}},
        {{4, 0, 0, 0}, {5, 0, 0, 0}},
        {{0, 0, 0, 4}, {0, 5, 0, 0}},
        {{0, 5, 0, 0}, {0, 0, 0, 4}},
        {{5, 0, 0, 0}, {4, 0, 0, 0}},
        {{0, 0, 0, 5}, {0, 4, 0, 0}},
    },
    {
        {{0, 3, 0, 0}, {0, 4, 7, 1}},
        {{0, 4, 3, 0}, {0, 7, 1, 0}},
        {{0, 7, 4, 3}, {0, 1, 0, 0}},
        {{0, 1, 7, 4}, {0, 0, 0, 3}},
        {{1, 7, 0, 0}, {3, 4, 0, 0}},
        {{0, 0, 0, 1}, {0, 3, 4, 7}},
    },
};

const int16_t kSailOffsets[6][6][2] = {
    {{-72, -81}, {-72, -52}, {-72, -81}, {-72, -52}, {-72, -81}, {-72, -52}},
    {{-59, -43}, {-72, -67}, {-85, -45}, {-59, -43}, {-72, -67}, {-85, -45}},
    {{-72, -52}, {-47, -38}, {-72, -52}, {-47, -38}, {-72, -52}, {-47, -38}},
    {{-72, -81}, {-72, -52}, {-97, -38}, {-72, -52}, {-72, -81}, {-72, -52}},
    {{-98, -67}, {-47, -67}, {-98, -67}, {-98, -67}, {-47, -67}, {-98, -67}},
    {{-98, -67}, {-98, -67}, {-98, -67}, {-98, -67}, {-47, -67}, {-98, -67}},
};

namespace {

constexpr float kTriangleWidth = 2.0f * kSailStepX;
constexpr uint32_t kSpriteBlend = 5;
constexpr uint32_t kSingleTriangle = 2;
// How many of the first pieces the new-piece rule looks at.
constexpr uint32_t kSingleLookAhead = 10;

// A sprite of frameCount frames side by side in data-root + file.
std::unique_ptr<CGmSprite> MakeSprite(const char* file, uint32_t frameCount)
{
    CGmTexture* texture = rescollect::LoadTexture(g_dataRoot + file);
    CGmImageSet images;
    images.Init(texture, frameCount, frameCount);
    if (texture)
        texture->Release();
    auto sprite = std::make_unique<CGmSprite>(images);
    sprite->SetBlendMode(kSpriteBlend);
    sprite->SetSize(kTriangleWidth, kSailStepY);
    return sprite;
}

void DrawAt(CGmSprite& sprite, float x, float y, uint32_t frameNumber)
{
    sprite.SetFrame(frameNumber);
    sprite.frame.SetPosition(Vec3{x, y, 0.0f});
    sprite.Render();
}

float FrameDelta()
{
    return g_geTimer ? g_geTimer->delta : 0.0f;
}

} // namespace

SailCell SailGridCell(float x, float y)
{
    // std::round rounds halves away from zero.
    int32_t col = (int32_t)std::round((x - kSailLeft) / kSailStepX);
    const int32_t row = (int32_t)std::round((y - kSailTop) / kSailStepY);
    col = col - std::abs(col) % 2 + ((std::abs(row) % 2) ^ 1);
    return {col, row};
}

// ---------------------------------------------------------------------------
// A piece.

CSail_Figure::CSail_Figure(uint32_t shapeIndex, uint32_t orientationIndex)
    : sprite(MakeSprite("gui/arcades/pic/tri.tga", 14)), shape(shapeIndex % 6), orientation(orientationIndex % 6)
{
    frame.AddChild(&sprite->frame);
}

CSail_Figure::~CSail_Figure() = default;

float CSail_Figure::Height() const
{
    float height = 0.0f;
    for (int r = 0; r < 2; ++r)
        for (int c = 0; c < 4; ++c)
            if (Cell(c, r)) {
                height += kSailStepY;
                break;
            }
    return height;
}

void CSail_Figure::Turn()
{
    orientation = (orientation + 1) % 6;
    turnAngle -= (float)M_PI / 3.0f;
    frame.SetAngles(Vec3{0.0f, 0.0f, turnAngle});
}

SailCell CSail_Figure::GridCell() const
{
    return SailGridCell(frame.position.x + OffsetX(), frame.position.y + OffsetY());
}

void CSail_Figure::SetPosition(float x, float y)
{
    frame.SetPosition(Vec3{x, y, 0.0f});
}

void CSail_Figure::Update()
{
    if (turnAngle < 0.0f) {
        turnAngle = std::min(0.0f, turnAngle + 6.0f * FrameDelta());
        frame.SetAngles(Vec3{0.0f, 0.0f, turnAngle});
    }
}

void CSail_Figure::Render()
{
    if (!visible)
        return;
    frame.UpdateWorldMatrix();
    for (int r = 0; r < 2; ++r)
        for (int c = 0; c < 4; ++c) {
            const uint32_t colour = Cell(c, r);
            if (!colour)
                continue;
            const uint32_t parity = (uint32_t)(c ^ r) & 1;
            DrawAt(*sprite, OffsetX() + kSailStepX * (float)c, OffsetY() + kSailStepY * (float)r,
                   parity ? 2 * colour - 2 : 2 * colour - 1);
        }
}

// ---------------------------------------------------------------------------
// The sail.

CSail_PlayField::CSail_PlayField()
{
    Reset();
}

CSail_PlayField::~CSail_PlayField() = default;

void CSail_PlayField::LoadPictures()
{
    if (back)
        return;
    back = MakeSprite("gui/arcades/pic/tri_back.tga", 4);
    stroke = MakeSprite("gui/arcades/pic/tri_back_stroke.tga", 2);
    frame.AddChild(&back->frame);
    frame.AddChild(&stroke->frame);
}

void CSail_PlayField::Reset()
{
    std::copy(&kSailInitialCells[0][0], &kSailInitialCells[0][0] + kSailRows * kSailColumns, &cells[0][0]);
    flashTime = 0.0f;
}

template <class Visit>
void CSail_PlayField::ForEachPieceCell(const CSail_Figure& piece, Visit visit) const
{
    const SailCell at = piece.GridCell();
    for (int r = 0; r < 2; ++r)
        for (int c = 0; c < 4; ++c)
            if (piece.Cell(c, r))
                visit(at.col + c, at.row + r);
}

bool CSail_PlayField::Fits(const CSail_Figure& piece) const
{
    if (piece.Turning())
        return false;
    bool fits = true;
    ForEachPieceCell(piece, [&](int32_t c, int32_t r) {
        if (c < 0 || c >= kSailColumns || r < 0 || r >= kSailRows || cells[r][c] == kCovered)
            fits = false;
    });
    return fits;
}

void CSail_PlayField::ClearPreview()
{
    for (auto& row : cells)
        for (uint8_t& cell : row)
            if (cell == kPreview)
                cell = kFree;
}

void CSail_PlayField::MarkPreview(const CSail_Figure& piece)
{
    ForEachPieceCell(piece, [&](int32_t c, int32_t r) {
        if (cells[r][c] == kFree)
            cells[r][c] = kPreview;
    });
}

void CSail_PlayField::Cover(const CSail_Figure& piece)
{
    ForEachPieceCell(piece, [&](int32_t c, int32_t r) { cells[r][c] = kFlashing; });
    flashTime = kFlashSeconds;
}

bool CSail_PlayField::Complete() const
{
    for (const auto& row : cells)
        for (uint8_t cell : row)
            if (cell != kCovered)
                return false;
    return true;
}

void CSail_PlayField::Update()
{
    if (flashTime <= 0.0f)
        return;
    flashTime -= FrameDelta();
    if (flashTime > 0.0f)
        return;
    flashTime = 0.0f;
    for (auto& row : cells)
        for (uint8_t& cell : row)
            if (cell == kFlashing)
                cell = kCovered;
}

void CSail_PlayField::Render()
{
    if (!visible || !back)
        return;
    frame.UpdateWorldMatrix();
    auto cellX = [](int c) { return kSailLeft + kSailStepX * (float)c; };
    auto cellY = [](int r) { return kSailTop + kSailStepY * (float)r; };
    for (int r = 0; r < kSailRows; ++r)
        for (int c = 0; c < kSailColumns; ++c)
            if (cells[r][c] == kFree || cells[r][c] == kPreview)
                DrawAt(*stroke, cellX(c), cellY(r), (uint32_t)(c ^ r) & 1);
    for (int r = 0; r < kSailRows; ++r)
        for (int c = 0; c < kSailColumns; ++c) {
            const int value = cells[r][c];
            if (value == kCovered)
                continue;
            if (value == kFlashing) {
                back->SetAlpha((uint8_t)std::lround(std::clamp(flashTime, 0.0f, 1.0f) * 255.0f));
                DrawAt(*back, cellX(c), cellY(r), (uint32_t)(c ^ r) & 1);
                back->SetAlpha(255);
            } else {
                DrawAt(*back, cellX(c), cellY(r), (uint32_t)(((r & 1) - 2 + 2 * value) ^ (c & 1)));
            }
        }
}

// ---------------------------------------------------------------------------
// The tray.

CSail_Stakan::~CSail_Stakan()
{
    Clear();
}

void CSail_Stakan::Clear()
{
    for (uint32_t i = 0; i < count; ++i) {
        delete entries[i].figure;
        entries[i] = Entry();
    }
    count = 0;
}

void CSail_Stakan::Remove(uint32_t index)
{
    if (index >= count)
        return;
    delete entries[index].figure;
    for (uint32_t i = index + 1; i < count; ++i)
        entries[i - 1] = entries[i];
    entries[--count] = Entry();
}

void CSail_Stakan::AddPiece()
{
    if (count >= kMaxEntries)
        return;
    bool haveSingle = false;
    for (uint32_t i = 0; i < std::min(count, kSingleLookAhead); ++i)
        haveSingle = haveSingle || entries[i].figure->shape == kSingleTriangle;
    uint32_t shape = kSingleTriangle;
    if (haveSingle)
        shape = (uint32_t)(GeRand() % 6);
    const uint32_t orientation = (uint32_t)(GeRand() % 6);
    auto* figure = new CSail_Figure(shape, orientation);
    figure->SetPosition(kLeft + kWidth / 2.0f, kTop);
    frame.AddChild(&figure->frame);
    entries[count++].figure = figure;
}

void CSail_Stakan::Step(float delta)
{
    float limit = kBottom;
    bool moved = false;
    for (uint32_t i = 0; i < count; ++i) {
        CSail_Figure& figure = *entries[i].figure;
        const float y = figure.frame.position.y;
        const float rest = limit - figure.OffsetY();
        const float next = std::min(y + kFallSpeed * delta, rest);
        if (next != y) {
            figure.SetPosition(figure.frame.position.x, next);
            moved = true;
        }
        limit -= figure.Height() + kGap;
    }
    if (!moved && limit > kTop)
        AddPiece();
}

void CSail_Stakan::Refill()
{
    Clear();
    float limit = kBottom;
    while (limit > kTop && count < kMaxEntries) {
        AddPiece();
        CSail_Figure& figure = *entries[count - 1].figure;
        figure.SetPosition(figure.frame.position.x, limit - figure.OffsetY());
        limit -= figure.Height() + kGap;
    }
}

void CSail_Stakan::Update()
{
    for (uint32_t i = 0; i < count; ++i)
        entries[i].figure->Update();
    Step(FrameDelta());
}

void CSail_Stakan::Render()
{
    if (!visible)
        return;
    frame.UpdateWorldMatrix();
    for (uint32_t i = 0; i < count; ++i)
        if (!entries[i].held)
            entries[i].figure->Render();
}

int32_t CSail_Stakan::EntryAt(float y) const
{
    for (uint32_t i = 0; i < count; ++i) {
        const CSail_Figure& figure = *entries[i].figure;
        const float half = figure.Height() / 2.0f;
        if (y >= figure.frame.position.y - half && y <= figure.frame.position.y + half)
            return (int32_t)i;
    }
    return -1;
}

bool CSail_Stakan::InClickArea(float x, float y)
{
    return x > kLeft && x < kLeft + kWidth && y > kTop && y < kBottom + kClickBand;
}
