#include "Source/GameClasses/QmDelayedCalls.h"

#include "Engine/Core/Common/GeLog.h"
#include "Engine/Core/Common/GeTimer.h"
#include "Source/GameClasses/QmScriptProcessor.h"

#include <cstring>
#include <vector>

uint32_t CQmDelayedCalls::s_count = 0;
QmDelayedCall CQmDelayedCalls::s_calls[kMaxCalls];

namespace {

void CopyCall(QmDelayedCall& to, const QmDelayedCall& from)
{
    memcpy(to.name, from.name, sizeof(to.name));
    for (uint32_t i = 0; i < from.count; ++i)
        to.args[i].Assign(from.args[i]);
    to.count = from.count;
    to.delay = from.delay;
}

} // namespace

bool CQmDelayedCalls::Add(const char* name, float delay, uint32_t count, const CGeValue* args)
{
    if (!name || strlen(name) >= kNameSize) {
        GeLog(1, "CQmDelayedCalls::Add: function name '%s' is too long\n", name ? name : "");
        return false;
    }
    if (count > kMaxArgs) {
        GeLog(1, "CQmDelayedCalls::Add: %s: too many arguments (%u)\n", name, count);
        return false;
    }
    if (s_count >= kMaxCalls) {
        GeLog(1, "CQmDelayedCalls::Add: %s: no room for another delayed call\n", name);
        return false;
    }
    QmDelayedCall& call = s_calls[s_count++];
    call.count = count;
    for (uint32_t i = 0; i < count; ++i)
        call.args[i].Assign(args[i]);
    call.delay = delay;
    memcpy(call.name, name, strlen(name) + 1);
    return true;
}

void CQmDelayedCalls::Update()
{
    if (s_count == 0)
        return;
    // A working copy: the calls may schedule new calls, and a nested update
    // (a script that runs the scene) sees only what is pending.
    std::vector<QmDelayedCall> working(s_count);
    for (uint32_t i = 0; i < s_count; ++i)
        CopyCall(working[i], s_calls[i]);
    s_count = 0;

    const float delta = g_geTimer ? g_geTimer->delta : 0.0f;
    for (QmDelayedCall& call : working) {
        call.delay -= delta;
        if (call.delay <= 0.0f)
            ScriptCallFunction(call.name, call.args, call.count, true);
    }
    for (const QmDelayedCall& call : working) {
        if (call.delay > 0.0f)
            Add(call.name, call.delay, call.count, call.args);
    }
}

void CQmDelayedCalls::Clear()
{
    s_count = 0;
}
