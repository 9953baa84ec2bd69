// The puzzle manager: the one object that holds the puzzle screen the scripts
// build at run time, its control set "_puzzle_", the controls the scripts
// added by name, and up to 16 timed tasks (move, rotate, zoom, fade) on them.
// Every click, move and key of the puzzle goes back to the scripts as
// "<location>_puzzle_<event>" and then "global_puzzle_<event>".
//
// Two look-ups on purpose: AssignSprite, SetFlags, SetPivot and RemoveControl
// reach only the controls made by AddControl (they must be in the controls
// array, so a control loaded from a file keeps its own sprite and flags);
// every other operation and the tasks reach any control of the puzzle set.
//
// Choices where the plain rules would fail:
// - every task kind looks its control up by name at each step, so removing a
//   control or resetting the puzzle during a fade leaves no stale pointer;
// - a sprite grid of 0 frames per line is refused (no division by zero);
// - event names are built whole, whatever the length of the location name;
// - the per-location event is skipped while there is no current location,
//   the global one still fires.
//
// Update and Reset stay virtual so that the game processor's tests can
// stand a recording double in for the manager.
#pragma once

#include "Engine/Core/Common/CiMessageClient.h"
#include "Engine/Core/Common/GeString.h"

#include <cstdint>

class CGuiControl;
class CGuiControlSet;

enum EQmPuzzleTaskKind : uint32_t {
    QM_PUZZLE_TASK_MOVE = 1,
    QM_PUZZLE_TASK_ROTATE = 2,
    QM_PUZZLE_TASK_ZOOM = 3,
    QM_PUZZLE_TASK_FADE = 4,
};

// A timed change of one property of a named control, from the value it had
// when the task was made to a target: f = remaining / duration runs from 1
// to 0 and the value is target * (1 - f) + start * f. The task ends on the
// step that reaches the target.
class CQmPuzzleTask {
public:
    CQmPuzzleTask(const char* controlName, uint32_t taskKind, float duration);
    virtual ~CQmPuzzleTask() = default;
    // One frame of dt seconds: the new remaining time, then the value applied.
    virtual void Step(float dt);
    virtual void SetTarget(uint32_t count, const float* values);

    char controlName[32] = {};
    uint32_t kind = 0;
    float remaining = 0.0f;
    float duration = 0.0f;

protected:
    // Moves the remaining time on and answers f.
    float Advance(float dt);
    // The control of that name in the puzzle set, or null.
    CGuiControl* Control() const;
};

class CQmPuzzleTaskMove : public CQmPuzzleTask {
public:
    CQmPuzzleTaskMove(const char* controlName, float duration);
    void Step(float dt) override;
    void SetTarget(uint32_t count, const float* values) override;
    float start[2] = {0.0f, 0.0f};
    float target[2] = {0.0f, 0.0f};
};

// Rotate (degrees), zoom (both axes) and fade (alpha of the hosted sprite)
// share one scalar form.
class CQmPuzzleTaskScalar : public CQmPuzzleTask {
public:
    CQmPuzzleTaskScalar(const char* controlName, uint32_t taskKind, float duration, float startValue);
    void SetTarget(uint32_t count, const float* values) override;
    float start = 0.0f;
    float target = 0.0f;
};

class CQmPuzzleTaskRotate : public CQmPuzzleTaskScalar {
public:
    CQmPuzzleTaskRotate(const char* controlName, float duration);
    void Step(float dt) override;
};

class CQmPuzzleTaskZoom : public CQmPuzzleTaskScalar {
public:
    CQmPuzzleTaskZoom(const char* controlName, float duration);
    void Step(float dt) override;
};

class CQmPuzzleTaskFade : public CQmPuzzleTaskScalar {
public:
    CQmPuzzleTaskFade(const char* controlName, float duration);
    void Step(float dt) override;
};

class CQmPuzzleManager : public CCiMessageClient {
public:
    static constexpr uint32_t kMaxControls = 128;
    static constexpr uint32_t kMaxTasks = 16;
    static constexpr uint32_t kMaxNameLength = 31;

    CQmPuzzleManager();
    ~CQmPuzzleManager() override;

    // The start-up's form: constructed, then "Gui/puzzles.xml" loaded as
    // add-on GUI resources and "Scripts/puzzles.lua" run.
    static CQmPuzzleManager* Create();

    void HandleMessage(CCiMessageClient* sender, uint32_t code) override;
    // Steps the tasks by the frame timer's delta.
    virtual void Update();
    // Deletes every puzzle control, task and the puzzle control set; the set
    // that was current before the puzzle becomes current again.
    virtual void Reset();

    bool AddControl(const char* name, float x, float y, float w, float h);
    bool RemoveControl(const char* name);
    void BringToFront(const char* name);
    bool AssignSprite(const char* name, const char* file, int32_t frames, int32_t framesPerLine, int32_t fps,
                      int32_t mode);
    void SetFlags(const char* name, int32_t flags);
    void SetPos(const char* name, float x, float y);
    bool GetPos(const char* name, float* x, float* y) const;
    void SetPivot(const char* name, float x, float y);
    void AddTask(const char* name, int32_t kind, float duration, uint32_t count, const float* values);
    // Every task of that kind, whatever its control; -1 every task.
    void RemoveTask(int32_t kind);
    void LoadControls(const char* file);
    void SetText(const char* name, const char* text);
    void SetCtrlVisibility(const char* name, bool visible);
    void SetCtrlValue(const char* name, float value);
    CGuiControl* FindControl(const char* name) const;

    bool HasPuzzle() const { return puzzleSet != nullptr; }

    CGuiControlSet* puzzleSet = nullptr;
    CGuiControlSet* savedSet = nullptr;
    CGuiControl* controls[kMaxControls] = {};
    uint32_t controlCount = 0;
    CQmPuzzleTask* tasks[kMaxTasks] = {};
    uint32_t taskCount = 0;

private:
    void CreatePuzzleSet();
    // The index in the controls array of the puzzle set's control of that
    // name, or -1.
    int32_t FindOwnIndex(const char* name) const;
    void RemoveTaskAt(uint32_t index);
    void FireEvent(const char* suffix, const class CGeValue& argument) const;
};

// The puzzle set's control of that name; null without a puzzle manager or
// puzzle set.
CGuiControl* QmPuzzleFindControl(const char* name);
// Places a control at (x, y, 0) without a moved event.
void QmPuzzlePlace(CGuiControl* control, float x, float y);
// The alpha of a custom control's hosted 2D visual; false when there is none.
bool QmPuzzleSetAlpha(CGuiControl* control, float value);
bool QmPuzzleGetAlpha(CGuiControl* control, float* value);

extern CQmPuzzleManager* g_puzzleManager;
