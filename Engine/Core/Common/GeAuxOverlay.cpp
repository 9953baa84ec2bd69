#include "Engine/Core/Common/GeAuxOverlay.h"

#include <cstdarg>
#include <cstdio>
#include <cstring>
#include <strings.h>

#include "Engine/Core/Common/GeDeviceConfig.h"
#include "Engine/Core/Common/GeMap.h"
#include "Engine/Core/Common/GeTextConvert.h"
#include "Platform/Win32/WinMessages.h"
#include "Platform/Win32/WinWindow.h"

namespace {

// Longest value text announced, and the message buffer of Print.
const uint32_t kMaxValueText = 1023;
const size_t kMessageBufferSize = 4096;
const uint32_t kMaxChannelLength = 99;

struct Registries {
    CGeStringMap<GeValueBinding> variables; // walked in name order by Update
    CGeStringMap<CGeValue> lastValues;      // value at registration or last change
    // Bookkeeping for a display: which names were announced and which are shown.
    CGeStringMap<uint8_t> announced;
    CGeStringMap<uint8_t> shown;
};

Registries& GetRegistries()
{
    static Registries registries;
    return registries;
}

AuxOverlay::OutputFunction s_output = nullptr;
HWND s_deviceWindow = nullptr;

// The overlay works only in a window: a full-screen game has no place to show
// it. Before the settings exist the game is still starting and may register.
bool IsActive()
{
    return !g_videoSettings || g_videoSettings->windowed;
}

void Forget(const CGeString& name, Registries& registries)
{
    registries.variables.EraseKey(name);
    registries.lastValues.EraseKey(name);
    registries.announced.EraseKey(name);
    registries.shown.EraseKey(name);
}

void Announce(const CGeString& name, const CGeValue& value)
{
    CGeWString wide = value.ToWideString();
    if (wide.Length() > kMaxValueText)
        wide = wide.Mid(0, kMaxValueText);
    const CGeString text = WideStringToAnsi(wide);
    // The value is the message itself, never a format.
    AuxOverlay::Print(name.c_str(), "%s", text.c_str());
}

bool PassesFilter(const CGeString& channel)
{
    const CGeArray<CGeString>& filter = AuxOverlay::channelFilter;
    if (filter.IsEmpty())
        return true;
    for (const CGeString& entry : filter) {
        if (strcasecmp(entry.c_str(), "all") == 0 || entry == channel)
            return true;
    }
    return false;
}

} // namespace

CGeArray<CGeString> AuxOverlay::channelFilter;
void (*g_auxCloseDeviceWindow)() = AuxOverlay::CloseDeviceWindow;

void AuxOverlay::RegisterVariable(const GeValueBinding& binding, const char* name)
{
    if (!IsActive())
        return;
    Registries& registries = GetRegistries();
    const CGeString key(name);
    Forget(key, registries);
    registries.variables[key] = binding;
    registries.announced[key] = 1;
    registries.shown[key] = 1;
    const CGeValue value = CGeValue::FromBinding(binding);
    registries.lastValues[key] = value;
    Announce(key, value);
}

void AuxOverlay::Update()
{
    Registries& registries = GetRegistries();
    for (auto* node = registries.variables.first; node; node = registries.variables.Next(node)) {
        const CGeValue current = CGeValue::FromBinding(node->value);
        CGeValue& last = registries.lastValues[node->key];
        if (current == last)
            continue;
        last = current;
        Announce(node->key, current);
    }
}

bool AuxOverlay::RemoveVariable(const char* name)
{
    if (!IsActive())
        return false;
    Registries& registries = GetRegistries();
    const CGeString key(name);
    const bool registered = registries.variables.Find(key) != nullptr;
    Forget(key, registries);
    return registered;
}

bool AuxOverlay::IsRegistered(const char* name)
{
    return GetRegistries().variables.Find(CGeString(name)) != nullptr;
}

CGeString AuxOverlay::ChannelOfTag(const CGeString& tag)
{
    const char* text = tag.c_str();
    if (text[0] == '@') {
        const char* end = strchr(text + 1, '@');
        if (end) {
            uint32_t length = static_cast<uint32_t>(end - (text + 1));
            if (length > kMaxChannelLength)
                length = kMaxChannelLength;
            return tag.Mid(1, length);
        }
    }
    return CGeString("none");
}

bool AuxOverlay::Print(const char* tag, const char* format, ...)
{
    if (!IsActive())
        return false;
    char message[kMessageBufferSize];
    va_list args;
    va_start(args, format);
    vsnprintf(message, sizeof(message), format, args);
    va_end(args);

    const CGeString channel = ChannelOfTag(CGeString(tag));
    if (PassesFilter(channel) && s_output)
        s_output(channel.c_str(), message);
    return false;
}

AuxOverlay::OutputFunction AuxOverlay::SetOutput(OutputFunction output)
{
    const OutputFunction previous = s_output;
    s_output = output;
    return previous;
}

void AuxOverlay::SetDeviceWindow(HWND window)
{
    s_deviceWindow = window;
}

void AuxOverlay::CloseDeviceWindow()
{
    if (s_deviceWindow && IsWindow(s_deviceWindow))
        SendMessageA(s_deviceWindow, WM_CLOSE, 0, 0);
}
