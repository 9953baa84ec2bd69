#include "Platform/Win32/WinMessageBox.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "Platform/Win32/WinCodePage.h"
#include "Platform/Win32/WinSdl.h"

namespace {

struct ButtonSet {
    int count;
    int ids[3];
    const char* labels[3];
    int escapeId; // 0: Escape does nothing, as on Win32 without a Cancel button
};

// Indexed by the type's low nibble; Win32 order, the first button is the default.
const ButtonSet kButtonSets[] = {
    {1, {IDOK}, {"OK"}, IDOK},
    {2, {IDOK, IDCANCEL}, {"OK", "Cancel"}, IDCANCEL},
    {3, {IDABORT, IDRETRY, IDIGNORE}, {"Abort", "Retry", "Ignore"}, 0},
    {3, {IDYES, IDNO, IDCANCEL}, {"Yes", "No", "Cancel"}, IDCANCEL},
    {2, {IDYES, IDNO}, {"Yes", "No"}, 0},
    {2, {IDRETRY, IDCANCEL}, {"Retry", "Cancel"}, IDCANCEL},
    {3, {IDCANCEL, IDTRYAGAIN, IDCONTINUE}, {"Cancel", "Try Again", "Continue"}, IDCANCEL},
};

bool IsHeadlessDriver(const char* name)
{
    return name && (strcmp(name, "offscreen") == 0 || strcmp(name, "dummy") == 0);
}

// A real dialog on a headless run would wait for a click that never comes.
bool NoDisplayForDialogs()
{
    if (SDL_WasInit(SDL_INIT_VIDEO))
        return IsHeadlessDriver(SDL_GetCurrentVideoDriver());
    return IsHeadlessDriver(getenv("SDL_VIDEODRIVER"));
}

int ShowWithSdl(const SDL_MessageBoxData* data, int* buttonId)
{
    if (NoDisplayForDialogs())
        return SDL_SetError("no display for a message box");
    return SDL_ShowMessageBox(data, buttonId);
}

WinMessageBoxBackend g_backend = ShowWithSdl;

Uint32 SdlIconFlags(UINT type)
{
    switch (type & MB_ICONMASK) {
    case MB_ICONHAND: return SDL_MESSAGEBOX_ERROR;
    case MB_ICONEXCLAMATION: return SDL_MESSAGEBOX_WARNING;
    default: return SDL_MESSAGEBOX_INFORMATION;
    }
}

// Dialogs draw line breaks from '\n'; the engine writes "\r\n".
std::string ToDialogText(const char* text)
{
    std::string utf8 = Cp1251ToUtf8(text);
    std::string out;
    for (char c : utf8) {
        if (c != '\r')
            out.push_back(c);
    }
    return out;
}

} // namespace

WinMessageBoxBackend WinSetMessageBoxBackend(WinMessageBoxBackend backend)
{
    WinMessageBoxBackend previous = g_backend;
    g_backend = backend ? backend : ShowWithSdl;
    return previous;
}

int MessageBoxA(HWND /*owner*/, const char* text, const char* caption, UINT type)
{
    UINT buttonsType = type & MB_TYPEMASK;
    if (buttonsType >= sizeof(kButtonSets) / sizeof(kButtonSets[0]))
        buttonsType = MB_OK;
    const ButtonSet& set = kButtonSets[buttonsType];

    SDL_MessageBoxButtonData buttons[3];
    for (int i = 0; i < set.count; i++) {
        buttons[i].flags = 0;
        if (i == 0)
            buttons[i].flags |= SDL_MESSAGEBOX_BUTTON_RETURNKEY_DEFAULT;
        if (set.ids[i] == set.escapeId)
            buttons[i].flags |= SDL_MESSAGEBOX_BUTTON_ESCAPEKEY_DEFAULT;
        buttons[i].buttonid = set.ids[i];
        buttons[i].text = set.labels[i];
    }

    std::string title = ToDialogText(caption ? caption : "Error");
    std::string body = ToDialogText(text ? text : "");
    SDL_MessageBoxData data;
    memset(&data, 0, sizeof(data));
    data.flags = SdlIconFlags(type) | SDL_MESSAGEBOX_BUTTONS_LEFT_TO_RIGHT;
    data.window = nullptr;
    data.title = title.c_str();
    data.message = body.c_str();
    data.numbuttons = set.count;
    data.buttons = buttons;

    // The pointer must be able to reach the dialog.
    WinSuspendCursorClip();
    int buttonId = -1;
    int shown = g_backend(&data, &buttonId);
    WinResumeCursorClip();

    if (shown < 0) {
        fprintf(stderr, "%s\n%s\n", title.c_str(), body.c_str());
        return 0;
    }
    for (int i = 0; i < set.count; i++) {
        if (set.ids[i] == buttonId)
            return buttonId;
    }
    // Closed through the window manager: Win32 has no such answer.
    return 0;
}
