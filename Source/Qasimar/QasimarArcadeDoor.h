// The door game: a door carries 24 sign buttons; a rolling wheel shows three
// signs at a time ("sample_1" to "sample_3"), and the player must then pick
// those three among the 24. A wrong pick resets the unsolved part of the
// sequence and reshuffles it; after eight groups the door opens, the screen
// fades, and the game ends with "door_arcade_end" (true).
//
// Contract:
// - Start needs the layout's "sign_00" to "sign_23" (buttons), "sample_1" to
//   "sample_3" and "wheel" (a custom control); without any of them a level-2
//   line names it and the game finishes at once ("door_arcade_end" with
//   false). "door" and "txt_lbl" may be missing.
// - The wheel sprite is made once from "locations/loc23/wheel.xml" and kept
//   across plays; without that list the wheel stays empty (a log line says
//   so) and the game plays on.
// - Clicks while the wheel rolls (state 3) are ignored; the menu over the
//   game stops its clock and its input.
// - Finish from outside before the door has opened reports false.
#pragma once

#include "Source/GameClasses/QmBaseArcade.h"

#include <cstdint>

class CGmSprite;
class CGuiButton;
class CGuiControl;
class CGuiCustom;

class CQasimarArcade_Door : public CQmBaseArcade {
public:
    static constexpr int kSigns = 24;
    static constexpr int kGroup = 3;
    static constexpr int kWheelFrames = 39;
    static constexpr uint32_t kFoundColor = 0xC04080FF;
    static constexpr uint32_t kOpenColor = 0xC0FF2020; // not found, or a wrong pick
    static constexpr float kInputLock = 5.0f;

    enum State {
        kNotRunning = 0,
        kIntroduction = 1,
        kPause = 2,
        kWheel = 3,
        kPicking = 4,
        kWrongPick = 5,
        kOpening = 6,
        kFadeOut = 7,
    };

    struct Sign {
        enum { kNotFound = 0, kFound = 1, kWrong = 2 };
        CGuiButton* control = nullptr;
        int32_t state = kWrong; // so that the first change to 0 sets the pictures
        char name[16] = {};
        // Shows the state's pictures and colour; nothing when it is the same.
        void SetState(int32_t newState);
    };

    CQasimarArcade_Door();
    ~CQasimarArcade_Door() override;

    void Finish() override;
    void Update() override;

    // The wheel's frame at t seconds into the roll.
    static uint32_t WheelFrame(float t);

    int32_t state = kNotRunning;
    uint8_t started = 0;
    uint8_t layoutLoaded = 0;
    uint8_t pickedInGroup = 0;
    uint8_t progress = 0;
    uint8_t order[kSigns] = {};
    Sign* signs[kSigns] = {};
    CGuiControl* samples[kGroup] = {};
    CGuiControl* door = nullptr;
    CGuiCustom* wheel = nullptr;
    CGmSprite* wheelSprite = nullptr;
    float timer = 0.0f;

protected:
    void StartGame() override;
    void OnMessage(CCiMessageClient* sender, uint32_t code) override;

private:
    void MakeWheelSprite();
    void ShowSamples();
    void Pick(int sign);
    void Reshuffle();
    void SetWheelFrame(uint32_t frame);
    void DeleteSigns();
    CGuiControl* IntroText() const;
};
