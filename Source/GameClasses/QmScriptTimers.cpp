#include "Source/GameClasses/QmScriptTimers.h"

#include "Engine/Core/Common/GeLog.h"
#include "Engine/Core/Common/GeTimer.h"
#include "Source/GameClasses/QmScriptProcessor.h"

#include <cstring>

ScriptTimerList g_scriptTimers;

namespace {

// Passes can nest: a timer's function may run a whole game update. Nodes are
// never freed while one runs, because each pass holds a node across the call;
// a removal asked for meanwhile marks them, and the outermost pass frees them.
int g_passDepth = 0;
// Counts the outermost passes, the frames of the timers.
uint32_t g_frameSerial = 0;

void FreeRemoved()
{
    for (ScriptTimerList::Node* node = g_scriptTimers.head; node;) {
        ScriptTimerList::Node* next = node->next;
        if (node->value.removed)
            g_scriptTimers.Remove(node);
        node = next;
    }
}

} // namespace

void ScriptSetTimer(const char* name, float period)
{
    if (!g_luaState || !name)
        return;
    const size_t length = strlen(name);
    if (length >= sizeof(QmScriptTimer::name)) {
        GeTrace("ScriptSetTimer: name %s is too long\n", name);
        return;
    }
    for (ScriptTimerList::Node* node = g_scriptTimers.head; node; node = node->next) {
        if (!node->value.removed && strcmp(node->value.name, name) == 0) {
            node->value.period = period;
            return;
        }
    }
    QmScriptTimer timer = {};
    memcpy(timer.name, name, length);
    timer.period = period;
    g_scriptTimers.PushBack(timer);
}

void ScriptUpdateTimers()
{
    if (!g_luaState || !g_geTimer)
        return;
    const float dt = g_geTimer->delta;
    if (g_passDepth == 0)
        ++g_frameSerial;
    ++g_passDepth;
    for (ScriptTimerList::Node* node = g_scriptTimers.head; node; node = node->next) {
        QmScriptTimer& timer = node->value;
        if (timer.removed)
            continue;
        timer.elapsed += dt;
        if (timer.elapsed > timer.period && timer.calledInFrame != g_frameSerial) {
            timer.elapsed -= timer.period;
            timer.calledInFrame = g_frameSerial;
            // The call may retune this timer or append others; the name is
            // copied so that it stays the same for the whole call.
            char name[sizeof(timer.name)];
            memcpy(name, timer.name, sizeof(name));
            ScriptCallFunction(name, nullptr, 0, false);
        }
    }
    if (--g_passDepth == 0)
        FreeRemoved();
}

void ScriptRemoveAllTimers()
{
    if (g_passDepth == 0) {
        if (g_scriptTimers.head)
            g_scriptTimers.UnlinkRange(g_scriptTimers.head, g_scriptTimers.tail);
        return;
    }
    for (ScriptTimerList::Node* node = g_scriptTimers.head; node; node = node->next)
        node->value.removed = true;
}
