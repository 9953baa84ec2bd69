// The pieces of the sail game: the sail (a triangular grid to cover), the
// triangle pieces and the tray they drop into. All three are visuals that
// the game hangs on its custom controls; they draw in reference pixels of the
// 1280 x 1024 screen, so the controls that carry them sit at the screen's
// origin.
//
// Grid: cell (c, r) of the 16 x 10 sail lies at (440 + 25 c, 120 + 43 r); it
// points up when c + r is even and down when it is odd, so neighbours share
// edges. Pieces use the same spacing. Triangle pictures are 50 by 43.
//
// Choices:
// - Every sprite draws with alpha blending (blend 5), so the transparent
//   corners of a triangle leave its neighbours visible and a covered cell can
//   fade out.
// - A picture's frames lie side by side in one row.
// - The preview marks only free cells: a cell in its flash keeps flashing
//   under a held piece instead of turning free again.
#pragma once

#include "Engine/Core/Gm/GmVisual2D.h"

#include <cstdint>
#include <memory>

class CGmSprite;

constexpr int kSailColumns = 16;
constexpr int kSailRows = 10;
constexpr float kSailLeft = 440.0f;
constexpr float kSailTop = 120.0f;
constexpr float kSailStepX = 25.0f;
constexpr float kSailStepY = 43.0f;

// The triangles to cover: 1 marks a cell of the sail.
extern const uint8_t kSailInitialCells[kSailRows][kSailColumns];
// Per shape and orientation, two rows of four cells: 0 empty, 1 to 7 the
// colour of the triangle.
extern const uint8_t kSailShapes[6][6][2][4];
// Per shape and orientation, where the piece's cell (0, 0) lies from its
// position.
extern const int16_t kSailOffsets[6][6][2];

struct SailCell {
    int32_t col;
    int32_t row;
};

// The grid cell of a point (a piece's position plus its offset): halves
// round away from zero, then the column moves so that col + row is odd, the
// parity at which a piece's triangles line up with the sail's.
SailCell SailGridCell(float x, float y);

// One piece: up to four triangles of one of six shapes in one of six
// orientations (steps of 60 degrees).
class CSail_Figure : public CGmVisualObject {
public:
    CSail_Figure(uint32_t shape, uint32_t orientation);
    ~CSail_Figure() override;

    // Shows a turn as a swing: the angle grows back to 0 at 6 radians a
    // second.
    void Update() override;
    void Render() override;

    uint8_t Cell(int c, int r) const { return kSailShapes[shape][orientation][r][c]; }
    float OffsetX() const { return kSailOffsets[shape][orientation][0]; }
    float OffsetY() const { return kSailOffsets[shape][orientation][1]; }
    // 43 for each of the two rows that holds a triangle.
    float Height() const;
    bool Turning() const { return turnAngle < 0.0f; }
    // The next orientation; the swing starts 60 degrees back.
    void Turn();
    // The grid cell under the piece's cell (0, 0).
    SailCell GridCell() const;
    void SetPosition(float x, float y);

    std::unique_ptr<CGmSprite> sprite;
    uint32_t shape = 0;
    uint32_t orientation = 0;
    float turnAngle = 0.0f;
};

// The sail.
class CSail_PlayField : public CGmVisualObject {
public:
    enum CellState : uint8_t { kCovered = 0, kFree = 1, kPreview = 2, kFlashing = 3 };
    static constexpr float kFlashSeconds = 0.5f;

    CSail_PlayField();
    ~CSail_PlayField() override;

    // Runs the flash down; covered cells stop flashing at its end.
    void Update() override;
    void Render() override;

    // Loads the two pictures once.
    void LoadPictures();
    void Reset();
    // Whether the piece, not turning, lies wholly on cells of the sail that
    // are not covered (flashing ones count as free).
    bool Fits(const CSail_Figure& piece) const;
    // Every preview cell back to free.
    void ClearPreview();
    void MarkPreview(const CSail_Figure& piece);
    // The piece's cells start their flash.
    void Cover(const CSail_Figure& piece);
    bool Complete() const;

    std::unique_ptr<CGmSprite> back;   // free up/down, preview up/down
    std::unique_ptr<CGmSprite> stroke; // outline up/down
    uint8_t cells[kSailRows][kSailColumns] = {};
    float flashTime = 0.0f;

private:
    template <class Visit>
    void ForEachPieceCell(const CSail_Figure& piece, Visit visit) const;
};

// The tray at the right: pieces fall in from its top and stack from its
// bottom up.
class CSail_Stakan : public CGmVisualObject {
public:
    static constexpr uint32_t kMaxEntries = 32;
    static constexpr float kLeft = 1073.0f;
    static constexpr float kTop = 232.0f;
    static constexpr float kWidth = 136.0f;
    static constexpr float kHeight = 495.0f;
    static constexpr float kBottom = kTop + kHeight;
    static constexpr float kFallSpeed = 100.0f; // pixels a second
    static constexpr float kGap = 14.0f;
    // Clicks this far under the tray still count as in it.
    static constexpr float kClickBand = 30.0f;

    struct Entry {
        CSail_Figure* figure = nullptr; // owned
        CSail_Figure* held = nullptr;   // the player's copy, owned by the game
    };

    CSail_Stakan() = default;
    ~CSail_Stakan() override;

    // One step of the frame delta: every piece falls until it rests on the
    // one below; when nothing moved and room is left at the top, a new piece
    // comes in at the top.
    void Update() override;
    // The pieces in the tray, but not one the player holds.
    void Render() override;

    void Step(float delta);
    // Empties the tray and fills it at once, each piece put straight on the
    // stack.
    void Refill();
    void Clear();
    // Removes an entry for good; the ones behind move up one place.
    void Remove(uint32_t index);
    // Appends a piece at the top: a random one, unless none of the first ten
    // is a single triangle, then a single triangle.
    void AddPiece();
    // The first entry whose piece's band (its Y plus or minus half its
    // height) holds y; -1 for none.
    int32_t EntryAt(float y) const;
    static bool InClickArea(float x, float y);

    Entry entries[kMaxEntries];
    uint32_t count = 0;
};
