// The golem's column: eleven numbered stones stand in a column of the current
// location and the golem pushes one new numbered stone at a time towards it.
// The player puts the offered stone in place of any stone of the column (its
// button "btn_%02i") or lets it go ("btn_skip"); the column is built when the
// numbers decrease from the bottom stone to the top one.
//
// Contract:
// - Start needs the entity "golem" in the current location and every control
//   of "gui/arcades/building.xml" ("btn_%02i", "lbl_%02i", "bld_lbl_%02i" for
//   0 to 10, "btn_lbl", "label_bg", "bld_bg_rt", "bld_bg_rb", "btn_skip",
//   "txt_lbl"); without one of them it logs what is missing and finishes at
//   once with "building_arcade_end" false, touching no entity.
// - The stones are the location's entities "block_%02i" (re-used when the
//   location holds them, made from "meshes/items/block.gemesh" and
//   "materials/items/block.xml" otherwise) and "nextblock" for the offered
//   one. The location owns them; Finish takes them out of it by name.
// - The numbers come from the engine's C-runtime generator: a 250-step
//   shuffle of 1..30 at every start, and offered numbers drawn until they
//   differ from every number of the column.
// - "Rendering flags" are the entity's visual-object and drop-shadow
//   properties, switched on where present.
// - The push track moves the golem: while "golem_pushes_stone" plays, the
//   track's root displacement carries the entity (root motion on channel 0),
//   and the offered stone is laid in front of him. A walk still running when
//   the next stone comes is stopped before the golem is placed.
// - "The golem's walk has ended" is its motion controller being stopped (no
//   motion controller: always ended).
// - No input while the menu is open; Update stands still while paused.
#pragma once

#include "Engine/Core/Common/GeMath.h"
#include "Source/GameClasses/QmBaseArcade.h"

class CGmMaterial;
class CGmMesh;
class CGuiControl;
class CQmEntity;

class CQasimarArcade_Building : public CQmBaseArcade {
public:
    enum State { kNotRunning = 0, kIntro = 1, kBringing = 2, kOffered = 3, kChoosing = 4, kWon = 5, kFading = 6 };
    static constexpr int kStones = 11;
    static constexpr int kNumbers = 30;
    static constexpr float kStoneStep = 70.0f;       // height of a stone in the column
    static constexpr float kColumnTurn = 0.6981317f; // 40 degrees about Y
    static constexpr float kOfferReached = -305.0f;  // the offered stone's x that ends the push
    static constexpr float kWinWait = 2.0f;
    static constexpr float kFadeTime = 1.0f;
    static constexpr float kWinInputLock = 3.0f;

    struct Stone {
        CQmEntity* entity = nullptr;
        uint8_t number = 1;
    };

    CQasimarArcade_Building();
    ~CQasimarArcade_Building() override;

    void Finish() override;
    void Update() override;

    // A stone's size for its number.
    static float StoneScale(uint32_t number) { return float(number) * 0.5f / 29.0f + 0.5f; }
    // The local matrix of stone index with that number in the column.
    static Matrix4 ColumnMatrix(int index, uint32_t number);
    // The column is built: no number is below the one above it.
    bool ColumnBuilt() const;

    int32_t state = kNotRunning;
    uint8_t started = 0;
    uint8_t layoutLoaded = 0;
    CQmEntity* golem = nullptr;
    Stone* stones[kStones] = {};
    Stone* nextStone = nullptr;
    CGuiControl* buttons[kStones] = {};
    CGuiControl* labels[kStones] = {};
    CGuiControl* stoneLabels[kStones] = {};
    CGuiControl* offerLabel = nullptr;
    CGuiControl* labelBackground = nullptr;
    CGuiControl* backgroundTop = nullptr;
    CGuiControl* backgroundBottom = nullptr;
    CGuiControl* skipButton = nullptr;
    CGuiControl* introText = nullptr;
    CGmMesh* stoneMesh = nullptr;
    CGmMaterial* stoneMaterial = nullptr;
    float timer = 0.0f;

protected:
    void StartGame() override;
    void OnMessage(CCiMessageClient* sender, uint32_t code) override;

private:
    // Looks every control up; the first missing one's name, or null.
    const char* FindControls(char* missing, size_t size);
    Stone* MakeStone(const char* entityName, uint8_t number);
    void DestroyStone(Stone*& stone);
    void LayOut();
    void Switch(int index);
    void BringStone();
    void GolemIdle();
    void SendGolem(const Vec3& to);
    // The short walk after a stone was placed or let go.
    void SendGolemAside();
    void ShowColumnLabels(bool shown);
};
