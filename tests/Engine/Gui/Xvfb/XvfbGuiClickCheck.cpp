// End-to-end check of the GUI on a real X server (run under xvfb-run with
// SDL_VIDEODRIVER=x11): a screen loaded from fixture files (GUI resources
// with sprite schemas, a font and a cursor picture; a frame-set collection and
// a control set with one framed button and its caption) is drawn by the real
// device on its window, whose client area is half the 2D view in each
// direction. The pointer is moved over the button and the left button pressed
// and released through the X server (XTEST, loaded at run time), so every
// step goes through SDL, the window layer, the mouse hook, the client-pixel to
// 2D-view mapping, the GUI manager and the dispatcher.
//
// Checked on the pixels the X server shows: the frame and the normal picture,
// then the hover picture under the pointer, the pressed picture while the
// button is down, the game cursor drawn at the pointer minus its hot spot;
// checked on the dispatcher: a client registered for everything hears event 3
// from the button after the release. Exit code 0 on success; every failure
// prints why.
#include <dlfcn.h>

#include <cstdlib>
#include <string>
#include <unistd.h>

#include "Engine/Core/Common/CiDispatcher.h"
#include "Engine/Core/Common/GeDeviceConfig.h"
#include "Engine/Core/Common/GeTimer.h"
#include "Engine/Core/Gm/GLibLoc/D3d/GmDeviceWrapper.h"
#include "Engine/Core/Gm/GeHub.h"
#include "Engine/Core/Gm/GmCamera.h"
#include "Engine/Core/Gm/GmText.h"
#include "Engine/Gui/GeCursorSet.h"
#include "Engine/Gui/GeKeyboard.h"
#include "Engine/Gui/GeMouse.h"
#include "Engine/Gui/GuiBoundFrames.h"
#include "Engine/Gui/GuiButton.h"
#include "Engine/Gui/GuiControlSet.h"
#include "Engine/Gui/GuiFrameLink.h"
#include "Engine/Gui/GuiManager.h"
#include "Engine/Gui/GuiResources.h"
#include "tests/Engine/Core/Gm/ImageFixtures.h"
#include "tests/Support/TestTempDir.h"
#include "tests/Support/XvfbCheck.h"

namespace {

// The 2D view is the reference screen; the client area is half of it.
constexpr int kClientWidth = 640;
constexpr int kClientHeight = 512;
constexpr float kViewPerPixel = 2.0f;

// The button in view units, and its pictures' colours.
constexpr float kButtonX = 400, kButtonY = 300, kButtonW = 240, kButtonH = 120;
constexpr float kEdge = 16; // the frame's corner and border pictures are this many view units
constexpr uint32_t kNormal = 0x206020;
constexpr uint32_t kHover = 0x2080E0;
constexpr uint32_t kPressed = 0xE04020;
constexpr uint32_t kFrame = 0xE0E020;
constexpr uint32_t kArrow = 0x20E0E0; // cursor 1, the default
constexpr uint32_t kCursor = 0xE020E0; // cursor 8, which buttons ask for
constexpr float kCursorHotSpot = 8;
constexpr float kCaptionX = 104, kCaptionY = 44; // the caption's offset in the button

std::string Tga(uint32_t size, uint32_t rgb)
{
    imagefixture::TgaSpec spec;
    spec.width = spec.height = size;
    for (uint32_t i = 0; i < size * size; ++i) {
        spec.pixels.push_back(uint8_t(rgb));
        spec.pixels.push_back(uint8_t(rgb >> 8));
        spec.pixels.push_back(uint8_t(rgb >> 16));
        spec.pixels.push_back(0xFF);
    }
    imagefixture::Bytes bytes = imagefixture::MakeTga(spec);
    return std::string(bytes.begin(), bytes.end());
}

// The caption font's picture: a transparent space cell, then a white block.
std::string FontTga()
{
    imagefixture::TgaSpec spec;
    spec.width = 32;
    spec.height = 16;
    for (uint32_t y = 0; y < 16; ++y)
        for (uint32_t x = 0; x < 32; ++x)
            for (int c = 0; c < 4; ++c)
                spec.pixels.push_back(x < 16 ? 0x00 : 0xFF);
    imagefixture::Bytes bytes = imagefixture::MakeTga(spec);
    return std::string(bytes.begin(), bytes.end());
}

void WriteFixtures(const CTestTempDir& dir)
{
    dir.Write("pics/normal.tga", Tga(8, kNormal));
    dir.Write("pics/hover.tga", Tga(8, kHover));
    dir.Write("pics/pressed.tga", Tga(8, kPressed));
    dir.Write("pics/edge.tga", Tga(16, kFrame));
    dir.Write("pics/cursor.tga", Tga(32, kCursor));
    dir.Write("pics/arrow.tga", Tga(32, kArrow));
    dir.Write("fonts/block.tga", FontTga());
    dir.Write("gui/gui_res.xml", R"(<?xml version="1.0" encoding="utf-8"?>
<GUI_RESOURCES>
  <PICS>
    <IMAGE Name="normal" FileName="pics/normal.tga"/>
    <IMAGE Name="hover" FileName="pics/hover.tga"/>
    <IMAGE Name="pressed" FileName="pics/pressed.tga"/>
    <IMAGE Name="edge" FileName="pics/edge.tga"/>
    <IMAGE Name="cursor" FileName="pics/cursor.tga"/>
    <IMAGE Name="arrow" FileName="pics/arrow.tga"/>
  </PICS>
  <SPRITE_SCHEMAS>
    <SPRITE_SCHEMA Name="btn_normal" Image="normal"/>
    <SPRITE_SCHEMA Name="btn_hover" Image="hover"/>
    <SPRITE_SCHEMA Name="btn_pressed" Image="pressed"/>
    <SPRITE_SCHEMA Name="edge" Image="edge"/>
    <SPRITE_SCHEMA Name="cursor" Image="cursor"/>
    <SPRITE_SCHEMA Name="arrow" Image="arrow"/>
  </SPRITE_SCHEMAS>
  <FONTLIST>
    <FONT Name="block" FileName="fonts/block.tga" CodeTable=" X" FramesPerLine="2"/>
  </FONTLIST>
</GUI_RESOURCES>
)");
    dir.Write("gui/screen.xml", R"(<?xml version="1.0" encoding="utf-8"?>
<GUI>
  <BFS_COLLECTION>
    <BFS Name="framed" Type="EBFT_SimpleRect">
      <P Name="EP_CornerPic">edge</P>
      <P Name="EP_LeftRightBorderPic">edge</P>
      <P Name="EP_TopBottomBorderPic">edge</P>
    </BFS>
  </BFS_COLLECTION>
  <CONTROLSET Name="screen">
    <Control Name="ok" Type="EGCT_BUTTON">
      <Property Name="EP_X">400</Property>
      <Property Name="EP_Y">300</Property>
      <Property Name="EP_W">240</Property>
      <Property Name="EP_H">120</Property>
      <Property Name="EP_BoundFrameSet">framed</Property>
      <Property Name="EP_CenterPic">btn_normal</Property>
      <Property Name="EP_CenterHoverPic">btn_hover</Property>
      <Property Name="EP_CenterDownPic">btn_pressed</Property>
      <Property Name="EP_Font">block</Property>
      <Property Name="EP_Text">X</Property>
      <Property Name="EP_TextOffsetX">104</Property>
      <Property Name="EP_TextOffsetY">44</Property>
    </Control>
  </CONTROLSET>
</GUI>
)");
}

// Hears every event of every sender; counts the button's clicks.
class CClickRecorder : public CCiMessageClient {
public:
    void HandleMessage(CCiMessageClient* sender, uint32_t code) override
    {
        if (sender == button && code == 3)
            ++clicks;
    }
    CCiMessageClient* button = nullptr;
    int clicks = 0;
};

struct GuiScreen {
    CCiDispatcher* dispatcher;
    CGuiManager* manager;
    CGeCursorSet* cursors;
};

// One frame of the game's GUI part: messages, the manager's update, the
// dispatch pass, then the set's top-level controls and the cursor drawn and
// presented.
void Frame(const GuiScreen& s)
{
    PumpWindowMessages();
    g_geTimer->delta = 0.04f;
    s.manager->Update();
    s.dispatcher->RunPass();
    g_pGmDevice->Clear(GE_CLEAR_TARGET | GE_CLEAR_ZBUFFER, 0xFF000000, 1.0f);
    g_pGmDevice->BeginScene();
    g_pGmDevice->SetZEnable(0);
    if (CGuiControlSet* set = s.manager->currentSet)
        for (auto* node = set->controls.head; node; node = node->next)
            if (!node->value->parent)
                node->value->Render();
    GuiCursorDraw(s.cursors);
    g_pGmDevice->EndScene();
    g_pGmDevice->Present();
}

// Frames for about a second at most, until done() holds.
template <class Done>
bool FramesUntil(const GuiScreen& s, Done done)
{
    for (int i = 0; i < 50; ++i) {
        Frame(s);
        if (done())
            return true;
        Sleep(20);
    }
    return false;
}

// The pixel the X server shows, within a small distance of rgb per channel.
bool ShownNear(SDL_Window* window, int x, int y, uint32_t rgb, const char* what)
{
    SDL_SysWMinfo info;
    unsigned long value = 0xFFFFFFFF;
    if (X11Info(window, &info)) {
        XSync(info.info.x11.display, False);
        if (XImage* image = XGetImage(info.info.x11.display, info.info.x11.window, x, y, 1, 1, AllPlanes, ZPixmap)) {
            value = XGetPixel(image, 0, 0) & 0xFFFFFF;
            XDestroyImage(image);
        }
    }
    bool near = value != 0xFFFFFFFF;
    for (int shift = 0; shift < 24 && near; shift += 8)
        near = abs(int((value >> shift) & 0xFF) - int((rgb >> shift) & 0xFF)) <= 3;
    printf("  %s: shown pixel (%d, %d) = %06lx, expected %06x\n", what, x, y, value, rgb);
    return near;
}

// The X server's XTEST pointer calls, on the display of an SDL window.
struct FakePointer : XvfbFakeInput {
    bool Load(SDL_Window* window)
    {
        SDL_SysWMinfo info;
        return X11Info(window, &info) && XvfbFakeInput::Load(info.info.x11.display);
    }
};

} // namespace

int main()
{
    if (!XvfbStartVideo())
        return 1;
    CTestTempDir dir;
    WriteFixtures(dir);
    if (chdir(dir.Path().c_str()) != 0) {
        printf("FAILED: cannot enter %s\n", dir.Path().c_str());
        return 1;
    }

    GeCoreInit();
    GeDeviceConfig& settings = *g_videoSettings;
    settings.windowed = 1;
    settings.width = kClientWidth;
    settings.height = kClientHeight;
    CGeHub::Init(settings);
    CCiDispatcher dispatcher;
    g_dispatcher = &dispatcher;

    // The 2D camera over the reference screen, as the start-up makes it.
    CGmStaticCamera camera;
    camera.screenWidth = 1280;
    camera.screenHeight = 1024;
    camera.boundWidth = 1280.0f;
    camera.boundHeight = 1024.0f;
    camera.requestedViewport = {0, 0, g_pGmDevice->BackBufferWidth(), g_pGmDevice->BackBufferHeight(), 0.0f, 1.0f};
    camera.SetViewport(nullptr);
    g_pGmDevice->SetViewPort(camera.currentViewport);
    CGeHub::s_cameras2d[CGeHub::s_currentSlot] = &camera;
    g_gm2dScale[CGeHub::s_currentSlot][0] = 1280.0f / (float)g_pGmDevice->BackBufferWidth();
    g_gm2dScale[CGeHub::s_currentSlot][1] = 1024.0f / (float)g_pGmDevice->BackBufferHeight();

    CGuiResources::Load(CGeString("gui/gui_res.xml"), 0);
    // Eight cursors: the arrow, six more arrows and the button's cursor 8.
    const GeCursorDescriptor arrow = {CGuiResources::FindSpriteSchema(CGeString("arrow")), kCursorHotSpot,
                                      kCursorHotSpot};
    const GeCursorDescriptor hand = {CGuiResources::FindSpriteSchema(CGeString("cursor")), kCursorHotSpot,
                                     kCursorHotSpot};
    const GeCursorDescriptor* cursorList[] = {&arrow, &arrow, &arrow, &arrow, &arrow, &arrow, &arrow, &hand, nullptr};
    {
        CGeKeyboard keyboard;
        CGeMouse mouse;
        CGeCursorSet cursors(cursorList);
        CGuiManager manager;
        manager.dispatcher = &dispatcher;
        manager.mouse = &mouse;
        manager.keyboard = &keyboard;
        manager.cursorSet = &cursors;
        cursors.SetCursor(1);
        CGuiBoundFrames::LoadCollection("gui/screen.xml", manager.frameSets);
        CGuiControlSet* set = manager.CreateControlSet("screen");
        manager.currentSet = set;
        set->LoadFromFile(CGeString("gui/screen.xml"));
        auto* button = static_cast<CGuiButton*>(set->FindControl("ok"));
        Check(button && button->ControlType() == EGCT_BUTTON, "the button loaded from the control set");
        Check(button && button->boundFrame, "the button has its frame");
        CClickRecorder recorder;
        recorder.button = button;
        const GuiScreen screen = {&dispatcher, &manager, &cursors};

        HWND window = g_pGmDevice->GetWindow();
        ShowWindow(window, SW_SHOWNORMAL);
        SDL_Window* sdl = XvfbSdlWindow(window);
        XvfbPumpFor(200);
        int originX = 0, originY = 0;
        Check(XWindowOrigin(sdl, &originX, &originY), "X window found");
        RECT client;
        GetClientRect(window, &client);
        Check(client.right == kClientWidth && client.bottom == kClientHeight, "client area half the 2D view");

        // Client pixels of the button, its centre, and a point on its frame.
        const int left = int(kButtonX / kViewPerPixel), top = int(kButtonY / kViewPerPixel);
        const int centreY = int((kButtonY + kButtonH / 2) / kViewPerPixel);
        const int captionX = int((kButtonX + kCaptionX) / kViewPerPixel) + 8; // inside the 32-unit glyph
        const int captionY = int((kButtonY + kCaptionY) / kViewPerPixel) + 8;
        const int onPicture = left + int(3 * kEdge / kViewPerPixel); // inside the frame, off the caption
        const int onFrame = left + int(kEdge / 2 / kViewPerPixel);
        for (int i = 0; i < 20; ++i)
            Frame(screen); // the hover picture's fade-out at creation ends
        Check(ShownNear(sdl, onFrame, centreY, kFrame, "frame border"), "the frame is drawn round the button");
        Check(ShownNear(sdl, onPicture, centreY, kNormal, "normal picture"), "the normal picture fills the button");
        Check(ShownNear(sdl, captionX, captionY, 0xFFFFFF, "caption"), "the caption is drawn at its offset");
        Check(ShownNear(sdl, left - 4, top - 4, 0x000000, "outside"), "nothing drawn outside the frame");

        FakePointer pointer;
        if (!pointer.Load(sdl)) {
            printf("FAILED: no XTEST library; install libxtst6\n");
            return 1;
        }
        // A pointer position inside the button, off the frame and the caption.
        const int pointerX = left + 90, pointerY = top + 20;
        pointer.MoveTo(originX + pointerX, originY + pointerY);
        Check(FramesUntil(screen, [&] { return button->state == GUI_BUTTON_HOVER; }), "the button turns to hover");
        printf("  mouse at (%.1f, %.1f) in the 2D view\n", mouse.x, mouse.y);
        Check(mouse.x == pointerX * kViewPerPixel && mouse.y == pointerY * kViewPerPixel,
              "client pixels map to the 2D view at two units a pixel");
        for (int i = 0; i < 15; ++i)
            Frame(screen); // the hover picture's fade ends
        Check(ShownNear(sdl, onPicture, centreY, kHover, "hover picture"), "the hover picture is shown");
        const int cursorLeft = pointerX - int(kCursorHotSpot / kViewPerPixel);
        const int cursorTop = pointerY - int(kCursorHotSpot / kViewPerPixel);
        Check(ShownNear(sdl, cursorLeft + 1, cursorTop + 1, kCursor, "cursor's top left"),
              "the cursor's picture starts at the pointer minus its hot spot");
        Check(ShownNear(sdl, cursorLeft - 1, cursorTop + 4, kHover, "left of the cursor"),
              "nothing of the cursor left of that");
        Check(cursors.shownCursor == 8, "the button's cursor is shown over it");

        pointer.Left(true);
        Check(FramesUntil(screen, [&] { return button->state == GUI_BUTTON_PRESSED; }), "the button is pressed");
        Frame(screen);
        Check(ShownNear(sdl, onPicture, centreY, kPressed, "pressed picture"), "the pressed picture is shown");
        Check(button->textVisual->frame.position.x == kCaptionX + 1.0f &&
                  button->textVisual->frame.position.y == kCaptionY + 1.0f,
              "the caption is shifted by one unit while pressed");
        Check(ShownNear(sdl, captionX, captionY, 0xFFFFFF, "pressed caption"), "the caption is drawn while pressed");
        Check(recorder.clicks == 0, "no click before the release");

        pointer.Left(false);
        Check(FramesUntil(screen, [&] { return recorder.clicks > 0; }), "a dispatcher client hears event 3");
        Check(recorder.clicks == 1, "exactly one click");
        Check(button->textVisual->frame.position.x == kCaptionX, "the caption is back in place");
        Frame(screen);
        Check(ShownNear(sdl, onPicture, centreY, kHover, "hover after release"), "hover shown again after the release");

        // Pointer off the button: the normal picture returns.
        pointer.MoveTo(originX + 20, originY + 20);
        Check(FramesUntil(screen, [&] { return button->state == GUI_BUTTON_NORMAL; }), "the button leaves hover");
        Frame(screen);
        Check(ShownNear(sdl, 20 - 1, 20 - 1, kArrow, "arrow cursor"), "the default cursor is back off the button");
    }
    CGuiResources::FreeAll();
    g_dispatcher = nullptr;
    CGeHub::s_cameras2d[CGeHub::s_currentSlot] = nullptr;
    CGeHub::Shutdown();
    GeCoreShutdown();
    return XvfbCheckResult();
}
