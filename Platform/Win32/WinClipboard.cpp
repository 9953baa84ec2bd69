// Clipboard text through SDL (UTF-8) in Win32's shape (UTF-16 blocks). When
// SDL's video is not running there is no desktop clipboard to talk to; the
// text is then kept in this process, so copy and paste inside the program
// still work.
#include "Platform/Win32/WinClipboard.h"

#include <cstring>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "Platform/Win32/WinCodePage.h"
#include "Platform/Win32/WinErrorText.h"
#include "Platform/Win32/WinInternal.h"

namespace {

struct Block {
    std::vector<unsigned char> bytes;
    int locks = 0;
};

std::map<HGLOBAL, std::unique_ptr<Block>> g_blocks;
uintptr_t g_nextBlockHandle = 0x20000;

bool g_open = false;
HGLOBAL g_handedOut = nullptr; // GetClipboardData's block, freed at close
std::string g_localText; // used while SDL has no clipboard

Block* FindBlock(HGLOBAL handle)
{
    auto it = g_blocks.find(handle);
    return it == g_blocks.end() ? nullptr : it->second.get();
}

bool PublishText(const std::string& utf8)
{
    if (SDL_WasInit(SDL_INIT_VIDEO) && SDL_SetClipboardText(utf8.c_str()) == 0)
        return true;
    g_localText = utf8;
    return true;
}

std::string ReadText()
{
    if (!SDL_WasInit(SDL_INIT_VIDEO))
        return g_localText;
    char* text = SDL_GetClipboardText(); // "" when there is none
    std::string result = text ? text : "";
    SDL_free(text);
    return result;
}

std::string Utf16ToUtf8(const char16_t* units, size_t count)
{
    std::string out;
    for (size_t i = 0; i < count && units[i]; i++) {
        uint32_t unit = units[i];
        if (unit >= 0xD800 && unit <= 0xDBFF && i + 1 < count && units[i + 1] >= 0xDC00 && units[i + 1] <= 0xDFFF) {
            unit = 0x10000 + ((unit - 0xD800) << 10) + (units[i + 1] - 0xDC00);
            i++;
        } else if (unit >= 0xD800 && unit <= 0xDFFF) {
            unit = 0xFFFD;
        }
        AppendUtf8(&out, unit);
    }
    return out;
}

std::u16string Utf8ToUtf16(const std::string& text)
{
    std::u16string out;
    size_t pos = 0;
    while (pos < text.size()) {
        uint32_t cp = DecodeUtf8(text, &pos);
        if (cp >= 0x10000) {
            out.push_back((char16_t)(0xD800 + ((cp - 0x10000) >> 10)));
            out.push_back((char16_t)(0xDC00 + ((cp - 0x10000) & 0x3FF)));
        } else {
            out.push_back((char16_t)cp);
        }
    }
    return out;
}

} // namespace

HGLOBAL GlobalAlloc(UINT /*flags*/, size_t bytes)
{
    HGLOBAL handle = (HGLOBAL)g_nextBlockHandle;
    g_nextBlockHandle += 0x10;
    std::unique_ptr<Block> block(new Block());
    block->bytes.assign(bytes ? bytes : 1, 0);
    g_blocks[handle] = std::move(block);
    return handle;
}

void* GlobalLock(HGLOBAL handle)
{
    Block* block = FindBlock(handle);
    if (!block) {
        SetLastError(ERROR_INVALID_HANDLE);
        return nullptr;
    }
    block->locks++;
    return block->bytes.data();
}

BOOL GlobalUnlock(HGLOBAL handle)
{
    Block* block = FindBlock(handle);
    if (!block || block->locks == 0)
        return FALSE;
    return --block->locks > 0 ? TRUE : FALSE;
}

size_t GlobalSize(HGLOBAL handle)
{
    Block* block = FindBlock(handle);
    return block ? block->bytes.size() : 0;
}

HGLOBAL GlobalFree(HGLOBAL handle)
{
    if (g_blocks.erase(handle) == 0) {
        SetLastError(ERROR_INVALID_HANDLE);
        return handle;
    }
    return nullptr;
}

BOOL OpenClipboard(HWND /*owner*/)
{
    if (g_open)
        return FALSE;
    g_open = true;
    return TRUE;
}

BOOL CloseClipboard()
{
    if (!g_open) {
        SetLastError(ERROR_CLIPBOARD_NOT_OPEN);
        return FALSE;
    }
    g_open = false;
    if (g_handedOut) {
        GlobalFree(g_handedOut);
        g_handedOut = nullptr;
    }
    return TRUE;
}

BOOL EmptyClipboard()
{
    if (!g_open) {
        SetLastError(ERROR_CLIPBOARD_NOT_OPEN);
        return FALSE;
    }
    // The next SetClipboardData replaces the text.
    return TRUE;
}

HANDLE SetClipboardData(UINT format, HANDLE data)
{
    Block* block = FindBlock(data);
    if (!g_open || format != CF_UNICODETEXT || !block) {
        SetLastError(g_open ? ERROR_INVALID_PARAMETER : ERROR_CLIPBOARD_NOT_OPEN);
        return nullptr;
    }
    std::vector<char16_t> units(block->bytes.size() / 2);
    memcpy(units.data(), block->bytes.data(), units.size() * 2);
    PublishText(Utf16ToUtf8(units.data(), units.size()));
    // The clipboard owns the block from now on.
    GlobalFree(data);
    return data;
}

HANDLE GetClipboardData(UINT format)
{
    if (!g_open || format != CF_UNICODETEXT) {
        SetLastError(g_open ? ERROR_INVALID_PARAMETER : ERROR_CLIPBOARD_NOT_OPEN);
        return nullptr;
    }
    std::u16string text = Utf8ToUtf16(ReadText());
    if (text.empty())
        return nullptr;
    if (g_handedOut)
        GlobalFree(g_handedOut);
    g_handedOut = GlobalAlloc(GMEM_MOVEABLE, (text.size() + 1) * sizeof(char16_t));
    memcpy(FindBlock(g_handedOut)->bytes.data(), text.data(), text.size() * sizeof(char16_t));
    return g_handedOut;
}

BOOL IsClipboardFormatAvailable(UINT format)
{
    return format == CF_UNICODETEXT && !ReadText().empty() ? TRUE : FALSE;
}
