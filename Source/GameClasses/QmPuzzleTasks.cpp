// The puzzle's timed tasks. Every kind finds its control by name at each
// step, so a control removed while its task runs is simply skipped.
#include "Source/GameClasses/QmPuzzleManager.h"

#include "Engine/Gui/GuiControl.h"
#include "Engine/Gui/GuiPropertyIds.h"
#include "Engine/Gui/GuiValues.h"

#include <algorithm>
#include <cstring>

namespace {

float RotateOf(const CGuiControl* control)
{
    return control ? static_cast<float>(control->placement.angles.z * 57.295780181884766) : 0.0f;
}

} // namespace

CQmPuzzleTask::CQmPuzzleTask(const char* name, uint32_t taskKind, float taskDuration)
    : kind(taskKind), remaining(taskDuration), duration(taskDuration)
{
    std::strncpy(controlName, name ? name : "", sizeof(controlName) - 1);
}

void CQmPuzzleTask::Step(float dt)
{
    Advance(dt);
}

void CQmPuzzleTask::SetTarget(uint32_t, const float*) {}

float CQmPuzzleTask::Advance(float dt)
{
    remaining = std::max(remaining - dt, 0.0f);
    return duration != 0.0f ? remaining / duration : 0.0f;
}

CGuiControl* CQmPuzzleTask::Control() const
{
    return QmPuzzleFindControl(controlName);
}

CQmPuzzleTaskMove::CQmPuzzleTaskMove(const char* name, float taskDuration)
    : CQmPuzzleTask(name, QM_PUZZLE_TASK_MOVE, taskDuration)
{
    if (const CGuiControl* control = Control()) {
        start[0] = control->X();
        start[1] = control->Y();
    }
}

void CQmPuzzleTaskMove::SetTarget(uint32_t count, const float* values)
{
    if (count >= 2) {
        target[0] = values[0];
        target[1] = values[1];
    }
}

void CQmPuzzleTaskMove::Step(float dt)
{
    const float f = Advance(dt);
    QmPuzzlePlace(Control(), target[0] * (1.0f - f) + start[0] * f, target[1] * (1.0f - f) + start[1] * f);
}

CQmPuzzleTaskScalar::CQmPuzzleTaskScalar(const char* name, uint32_t taskKind, float taskDuration, float startValue)
    : CQmPuzzleTask(name, taskKind, taskDuration), start(startValue)
{
}

void CQmPuzzleTaskScalar::SetTarget(uint32_t count, const float* values)
{
    if (count >= 1)
        target = values[0];
}

CQmPuzzleTaskRotate::CQmPuzzleTaskRotate(const char* name, float taskDuration)
    : CQmPuzzleTaskScalar(name, QM_PUZZLE_TASK_ROTATE, taskDuration, RotateOf(QmPuzzleFindControl(name)))
{
}

void CQmPuzzleTaskRotate::Step(float dt)
{
    const float f = Advance(dt);
    if (CGuiControl* control = Control())
        control->SetProperty(EP_Rotate, GuiMakeFloat(target * (1.0f - f) + start * f), true);
}

CQmPuzzleTaskZoom::CQmPuzzleTaskZoom(const char* name, float taskDuration)
    : CQmPuzzleTaskScalar(name, QM_PUZZLE_TASK_ZOOM, taskDuration, 0.0f)
{
    if (const CGuiControl* control = Control())
        start = control->placement.scale.x;
}

void CQmPuzzleTaskZoom::Step(float dt)
{
    const float f = Advance(dt);
    if (CGuiControl* control = Control()) {
        const float value = target * (1.0f - f) + start * f;
        control->SetProperty(EP_ZoomX, GuiMakeFloat(value), true);
        control->SetProperty(EP_ZoomY, GuiMakeFloat(value), true);
    }
}

CQmPuzzleTaskFade::CQmPuzzleTaskFade(const char* name, float taskDuration)
    : CQmPuzzleTaskScalar(name, QM_PUZZLE_TASK_FADE, taskDuration, 0.0f)
{
    QmPuzzleGetAlpha(Control(), &start);
}

void CQmPuzzleTaskFade::Step(float dt)
{
    const float f = Advance(dt);
    QmPuzzleSetAlpha(Control(), target * (1.0f - f) + start * f);
}
