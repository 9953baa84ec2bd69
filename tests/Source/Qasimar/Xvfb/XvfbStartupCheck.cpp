// End-to-end check of the program itself on a real X server (run under
// xvfb-run): qasimar starts in the folder that holds it and its pack, with a
// temporary per-user folder; its window appears with the program's caption
// and shows the demo's logo, then the menu, whose "but_new" (clicked through
// XTest) starts the game at the demo's first location, "loc01" (the
// painted yard, wall and pillar, the crates before the wall, beside the pillar
// and hidden behind it, the board sprite), read from the window's pixels;
// then the player's hand through XTest: the three tiles' puzzle, which opens
// a while after the arrival, solved by clicks, and a click on the floor that
// walks the hero there; the game's trace (QASIMAR_TRACE) gives his place on
// arrival and the window shows him there; Escape opens the menu, whose save
// page saves the game into the first slot (the slot's files appear in the
// per-user folder) and confirms it with "but_ok"; back in the game the hero
// walks away, and a double click on the slot in the load page brings him back
// where he was saved; "but_exit" asks the quit question of the game loaded
// since (unsaved again), whose "btn_no" ends the program with exit code 0,
// and a default "config.cfg" is left in the per-user folder.
// Exit code 0 on success; every failure prints why.
#include "tests/Support/XvfbCheck.h"

#include <X11/keysym.h>
#include <dlfcn.h>
#include <fcntl.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

namespace {

const char kCaption[] = "The voyages of Qasimar and the Copper Kettle";

// Windows come and go while the check walks the tree (SDL makes and drops
// helper windows at start-up): a request about a window that has just gone
// fails with BadWindow or BadMatch, which Xlib's default handler would turn
// into the check's exit. The walk simply finds nothing that time.
int IgnoreVanishedWindows(Display*, XErrorEvent*)
{
    return 0;
}

Window FindNamed(Display* display, Window window)
{
    char* name = nullptr;
    if (XFetchName(display, window, &name) && name) {
        const bool match = strcmp(name, kCaption) == 0;
        XFree(name);
        if (match)
            return window;
    }
    Window root, parent;
    Window* children = nullptr;
    unsigned int count = 0;
    Window found = 0;
    if (XQueryTree(display, window, &root, &parent, &children, &count)) {
        for (unsigned int i = 0; i < count && !found; ++i)
            found = FindNamed(display, children[i]);
        if (children)
            XFree(children);
    }
    return found;
}

// The colour at the centre of the demo logo's kettle, 0xRRGGBB: the logo is
// centred on the 1280 by 1024 reference screen and the kettle's body on the
// logo's middle column, 200 of its 320 rows down, at 552 of 1024 on the screen.
unsigned long KettlePixel(Display* display, Window window)
{
    XWindowAttributes attributes;
    if (!XGetWindowAttributes(display, window, &attributes) || attributes.map_state != IsViewable)
        return 0xFFFFFFFF;
    XImage* image =
        XGetImage(display, window, attributes.width / 2, attributes.height * 552 / 1024, 1, 1, AllPlanes, ZPixmap);
    if (!image)
        return 0xFFFFFFFF;
    const unsigned long pixel = XGetPixel(image, 0, 0) & 0xFFFFFF;
    XDestroyImage(image);
    return pixel;
}

// A point of "loc01" as a fraction of the picture and the colour the headless
// demo test reads there. The picture keeps the reference screen's 5:4 shape,
// centred in the window with black bars beside or above it. Three seconds
// after the arrival the demo's puzzle opens over the middle of the yard: the
// points lie outside its panel.
struct LocationPoint {
    float x, y;
    unsigned long rgb;
    const char* what;
};

const LocationPoint kLoc01[] = {
    {0.500f, 0.779f, 0xC8A064, "the sandy floor"},
    {0.861f, 0.447f, 0xA03C28, "the brick wall"},
    {0.206f, 0.565f, 0xE0801F, "the crate's left side beside the pillar"},
    {0.330f, 0.200f, 0x4A6A9A, "the painted pillar"},
    {0.275f, 0.565f, 0x4A6A9A, "the crate hidden behind the pillar"},
    {0.100f, 0.125f, 0xF0D020, "the board sprite"},
};

// Centres of menu buttons on the reference screen: the unsaved game's quit
// button "btn_no", the main page's "but_save", "but_load" and "but_exit", the
// first slot of the save and load pages, their "but_save", and "but_ok" of
// the save page's confirmation.
const int kQuit[2] = {760, 526};
const int kMainSave[2] = {1040, 406};
const int kMainLoad[2] = {1040, 336};
const int kMainExit[2] = {1040, 686};
const int kFirstSlot[2] = {225, 878};
const int kPageSave[2] = {810, 666};
const int kSavedOk[2] = {640, 506};
// The main page's "but_new": a point of its plain face away from its text,
// and its centre; the face's colour.
const double kNewFace[2] = {896.0 / 1280.0, 246.0 / 1024.0};
const double kNewCentre[2] = {1040.0 / 1280.0, 266.0 / 1024.0};
const unsigned long kButtonFace = 0x6B4A2B;

bool Near(unsigned long pixel, unsigned long rgb)
{
    for (int shift = 0; shift < 24; shift += 8) {
        const int got = (int)(pixel >> shift & 0xFF), want = (int)(rgb >> shift & 0xFF);
        if (got - want > 20 || want - got > 20)
            return false;
    }
    return true;
}

// The window's pixels at the location's points, from one snapshot; empty when
// the window cannot be read.
std::vector<unsigned long> LocationPixels(Display* display, Window window)
{
    XWindowAttributes attributes;
    if (!XGetWindowAttributes(display, window, &attributes) || attributes.map_state != IsViewable)
        return {};
    XImage* image = XGetImage(display, window, 0, 0, attributes.width, attributes.height, AllPlanes, ZPixmap);
    if (!image)
        return {};
    const int width = std::min(attributes.width, attributes.height * 5 / 4);
    const int height = std::min(attributes.height, attributes.width * 4 / 5);
    const int left = (attributes.width - width) / 2, top = (attributes.height - height) / 2;
    std::vector<unsigned long> pixels;
    for (const LocationPoint& point : kLoc01)
        pixels.push_back(XGetPixel(image, left + (int)(point.x * width), top + (int)(point.y * height)) & 0xFFFFFF);
    XDestroyImage(image);
    return pixels;
}

bool AllMatch(const std::vector<unsigned long>& pixels)
{
    if (pixels.size() != sizeof(kLoc01) / sizeof(kLoc01[0]))
        return false;
    for (size_t i = 0; i < pixels.size(); ++i)
        if (!Near(pixels[i], kLoc01[i].rgb))
            return false;
    return true;
}

bool IsCopper(unsigned long rgb)
{
    const int r = (int)(rgb >> 16 & 0xFF), g = (int)(rgb >> 8 & 0xFF), b = (int)(rgb & 0xFF);
    return r > 80 && r > g + 20 && g > b;
}

// The picture's rectangle in the window: the reference screen's 5:4 shape,
// centred.
struct Picture {
    int left = 0, top = 0, width = 0, height = 0;
};

Picture PictureOf(Display* display, Window window)
{
    XWindowAttributes attributes;
    Picture picture;
    if (!XGetWindowAttributes(display, window, &attributes))
        return picture;
    picture.width = std::min(attributes.width, attributes.height * 5 / 4);
    picture.height = std::min(attributes.height, attributes.width * 4 / 5);
    picture.left = (attributes.width - picture.width) / 2;
    picture.top = (attributes.height - picture.height) / 2;
    return picture;
}

// Where loc01's camera (eye 0 160 -700, looking at 0 120 0, 60 degrees
// across a 5:4 picture) shows a world point, as a fraction of the picture.
void ProjectLoc01(double x, double y, double z, double& u, double& v)
{
    const double eye[3] = {0.0, 160.0, -700.0};
    double f[3] = {0.0, -40.0, 700.0};
    const double fl = std::sqrt(f[1] * f[1] + f[2] * f[2]);
    f[1] /= fl;
    f[2] /= fl;
    // side = up x forward = (1, 0, 0), up' = forward x side = (0, fz, -fy)
    // (left-handed, as the engine's).
    const double p[3] = {x - eye[0], y - eye[1], z - eye[2]};
    const double vx = p[0], vy = p[1] * f[2] - p[2] * f[1], vz = p[1] * f[1] + p[2] * f[2];
    const double c = 1.0 / std::tan(30.0 * 3.14159265358979 / 180.0);
    u = 0.5 + 0.5 * (c * vx / vz);
    v = 0.5 - 0.5 * (c * 1.25 * vy / vz);
}

// The X server's XTEST pointer calls, loaded at run time.
struct FakePointer {
    typedef int (*Motion)(Display*, int, int, int, unsigned long);
    typedef int (*Button)(Display*, unsigned int, Bool, unsigned long);
    Motion motion = nullptr;
    Button button = nullptr;

    bool Load()
    {
        void* library = dlopen("libXtst.so.6", RTLD_NOW);
        if (!library)
            return false;
        motion = (Motion)dlsym(library, "XTestFakeMotionEvent");
        button = (Button)dlsym(library, "XTestFakeButtonEvent");
        return motion && button;
    }
    // A left click at a fraction of the picture: the pointer comes, rests,
    // presses and releases. The rest spans a frame or more even on a busy
    // machine: a press that reaches the program in the same frame as the
    // move is taken where the pointer was before.
    void Click(Display* display, Window window, double u, double v)
    {
        const Picture picture = PictureOf(display, window);
        int x = 0, y = 0;
        Window child;
        XTranslateCoordinates(display, window, DefaultRootWindow(display), picture.left + (int)(u * picture.width),
                              picture.top + (int)(v * picture.height), &x, &y, &child);
        motion(display, -1, x, y, 0);
        XSync(display, False);
        std::this_thread::sleep_for(std::chrono::milliseconds(1000));
        button(display, 1, True, 0);
        XSync(display, False);
        std::this_thread::sleep_for(std::chrono::milliseconds(100));
        button(display, 1, False, 0);
        XSync(display, False);
    }
};

// The pixel at a fraction of the picture, 0xFFFFFFFF when it cannot be read.
unsigned long PicturePixel(Display* display, Window window, double u, double v)
{
    const Picture picture = PictureOf(display, window);
    XImage* image = XGetImage(display, window, picture.left + (int)(u * picture.width),
                              picture.top + (int)(v * picture.height), 1, 1, AllPlanes, ZPixmap);
    if (!image)
        return 0xFFFFFFFF;
    const unsigned long pixel = XGetPixel(image, 0, 0) & 0xFFFFFF;
    XDestroyImage(image);
    return pixel;
}

bool IsHeroBlue(unsigned long rgb)
{
    const int r = (int)(rgb >> 16 & 0xFF), g = (int)(rgb >> 8 & 0xFF), b = (int)(rgb & 0xFF);
    return rgb != 0xFFFFFFFF && b > r + 40 && b > g + 40;
}

// Waits (at most seconds) for the nth line (from 1) of the program's trace
// that holds text; the line, or empty.
std::string WaitForTrace(const std::string& path, const char* text, int seconds, int nth = 1)
{
    const auto start = std::chrono::steady_clock::now();
    while (std::chrono::steady_clock::now() - start < std::chrono::seconds(seconds)) {
        std::ifstream trace(path);
        std::string line;
        int found = 0;
        while (std::getline(trace, line))
            if (line.find(text) != std::string::npos && ++found == nth)
                return line;
        std::this_thread::sleep_for(std::chrono::milliseconds(200));
    }
    return std::string();
}

// A left click at a reference-screen point of the window, after the
// pointer's rest (see FakePointer::Click); with twice, a second one at once
// after it (a double click).
void ClickAt(Display* display, Window window, XvfbFakeInput& input, const int at[2], bool twice = false)
{
    const int x = at[0], y = at[1];
    XWindowAttributes attributes;
    Window child;
    int rootX = 0, rootY = 0;
    if (!XGetWindowAttributes(display, window, &attributes) ||
        !XTranslateCoordinates(display, window, DefaultRootWindow(display), x * attributes.width / 1280,
                               y * attributes.height / 1024, &rootX, &rootY, &child))
        return;
    input.MoveTo(rootX, rootY);
    std::this_thread::sleep_for(std::chrono::milliseconds(1000));
    for (int i = 0; i < (twice ? 2 : 1); ++i) {
        input.Left(true);
        std::this_thread::sleep_for(std::chrono::milliseconds(30));
        input.Left(false);
        std::this_thread::sleep_for(std::chrono::milliseconds(30));
    }
}

// Waits (at most seconds) until a file exists.
bool WaitForFile(const std::string& path, int seconds)
{
    for (int i = 0; i < seconds * 10; ++i) {
        if (std::filesystem::exists(path))
            return true;
        std::this_thread::sleep_for(std::chrono::milliseconds(100));
    }
    return false;
}

// Waits (at most seconds) for the hero's blue coat at a floor point of loc01.
bool WaitForHeroAt(Display* display, Window window, double x, double z, int seconds)
{
    double u = 0.0, v = 0.0;
    ProjectLoc01(x, 90.0, z, u, v);
    for (int i = 0; i < seconds * 10; ++i) {
        if (IsHeroBlue(PicturePixel(display, window, u, v)))
            return true;
        std::this_thread::sleep_for(std::chrono::milliseconds(100));
    }
    printf("pixel %06lx at the hero's place\n", PicturePixel(display, window, u, v));
    return false;
}

// Waits (at most seconds) for the menu's main page: the new-game button's face.
bool WaitForMainPage(Display* display, Window window, int seconds)
{
    for (int i = 0; i < seconds * 10; ++i) {
        if (Near(PicturePixel(display, window, kNewFace[0], kNewFace[1]), kButtonFace))
            return true;
        std::this_thread::sleep_for(std::chrono::milliseconds(100));
    }
    return false;
}

void SendDeleteWindow(Display* display, Window window)
{
    XEvent event;
    memset(&event, 0, sizeof(event));
    event.xclient.type = ClientMessage;
    event.xclient.window = window;
    event.xclient.message_type = XInternAtom(display, "WM_PROTOCOLS", False);
    event.xclient.format = 32;
    event.xclient.data.l[0] = (long)XInternAtom(display, "WM_DELETE_WINDOW", False);
    event.xclient.data.l[1] = CurrentTime;
    XSendEvent(display, window, False, NoEventMask, &event);
    XFlush(display);
}

} // namespace

int main(int argc, char** argv)
{
    if (argc != 2) {
        printf("usage: xvfb_qasimar_check PATH_TO_QASIMAR\n");
        return 1;
    }
    const std::filesystem::path program = std::filesystem::absolute(argv[1]);
    char pattern[] = "/tmp/qm-xvfb-XXXXXX";
    const char* home = mkdtemp(pattern);
    Check(home != nullptr, "temporary per-user folder");
    if (!home)
        return XvfbCheckResult();
    Display* display = XOpenDisplay(nullptr);
    Check(display != nullptr, "X display");
    if (!display)
        return XvfbCheckResult();
    XSetErrorHandler(IgnoreVanishedWindows);

    const std::string tracePath = std::string(home) + "/trace.txt";
    const pid_t child = fork();
    if (child == 0) {
        setenv("XDG_DATA_HOME", home, 1);
        setenv("SDL_VIDEODRIVER", "x11", 1);
        setenv("SDL_AUDIODRIVER", "dummy", 1);
        // The game's trace (the scripts' SysLog among it) goes to a file.
        setenv("QASIMAR_TRACE", "1", 1);
        const int trace = open(tracePath.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
        if (trace >= 0)
            dup2(trace, 2);
        if (chdir(program.parent_path().c_str()) != 0)
            _exit(126);
        execl(program.c_str(), program.c_str(), (char*)nullptr);
        _exit(127);
    }

    // The window shows up and, within the logo's 3 seconds, shows the logo
    // (a loaded machine may take a while to start the sanitized program).
    Window window = 0;
    bool copper = false;
    const auto start = std::chrono::steady_clock::now();
    while (std::chrono::steady_clock::now() - start < std::chrono::seconds(60) && !copper) {
        if (!window)
            window = FindNamed(display, DefaultRootWindow(display));
        if (window)
            copper = IsCopper(KettlePixel(display, window));
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
    }
    Check(window != 0, "the program's window with its caption");
    Check(copper, "the demo's logo in the window");

    // The logos give way to the menu's main page; a click on "but_new" starts
    // the game at "loc01", which shows once its loading fade is over.
    XvfbFakeInput input;
    Check(input.Load(display), "the X server's XTEST calls");
    FakePointer pointer;
    Check(pointer.Load(), "the XTEST pointer calls");
    bool menu = false;
    const auto logoStart = std::chrono::steady_clock::now();
    while (window && copper && !menu && std::chrono::steady_clock::now() - logoStart < std::chrono::seconds(60)) {
        menu = Near(PicturePixel(display, window, kNewFace[0], kNewFace[1]), kButtonFace);
        std::this_thread::sleep_for(std::chrono::milliseconds(100));
    }
    if (!menu && window)
        printf("pixel %06lx on the new-game button\n", PicturePixel(display, window, kNewFace[0], kNewFace[1]));
    Check(menu, "the menu's main page after the logos");
    if (menu && pointer.motion)
        pointer.Click(display, window, kNewCentre[0], kNewCentre[1]);
    std::vector<unsigned long> pixels;
    const auto logoSeen = std::chrono::steady_clock::now();
    while (window && copper && std::chrono::steady_clock::now() - logoSeen < std::chrono::seconds(90)) {
        pixels = LocationPixels(display, window);
        if (AllMatch(pixels))
            break;
        std::this_thread::sleep_for(std::chrono::milliseconds(100));
    }
    for (size_t i = 0; i < sizeof(kLoc01) / sizeof(kLoc01[0]); ++i) {
        const bool ok = i < pixels.size() && Near(pixels[i], kLoc01[i].rgb);
        if (!ok && i < pixels.size())
            printf("loc01 pixel %06lx where %06lx was expected\n", pixels[i], kLoc01[i].rgb);
        Check(ok, kLoc01[i].what);
    }

    // The three tiles' puzzle opens three seconds after the arrival and takes
    // the clicks while it is open: a click turns a tile a quarter, the first
    // stands at 90 degrees, the second at 180, the third at 270. Clicks on one
    // tile are spaced so that no two make a double click.
    const bool opened = window && pointer.motion && !WaitForTrace(tracePath, "The three tiles: opened", 60).empty();
    Check(opened, "the three tiles' puzzle opened");
    if (opened) {
        const double tileY = 512.0 / 1024.0;
        const struct {
            double x;
            int clicks;
        } tiles[] = {{480.0 / 1280.0, 3}, {640.0 / 1280.0, 2}, {800.0 / 1280.0, 1}};
        for (const auto& tile : tiles)
            for (int i = 0; i < tile.clicks; ++i) {
                pointer.Click(display, window, tile.x, tileY);
                std::this_thread::sleep_for(std::chrono::milliseconds(700));
            }
        Check(!WaitForTrace(tracePath, "The three tiles: solved", 30).empty(), "the puzzle solved by clicks");
    }

    // A floor click before the pillar walks the hero there: the trace gives
    // his place on arrival and the window shows his blue coat there.
    const double floorX = -200.0, floorZ = -200.0;
    double u = 0.0, v = 0.0, bodyU = 0.0, bodyV = 0.0;
    ProjectLoc01(floorX, 0.0, floorZ, u, v);
    ProjectLoc01(floorX, 90.0, floorZ, bodyU, bodyV);
    std::string arrival;
    if (window && pointer.motion) {
        Check(!IsHeroBlue(PicturePixel(display, window, bodyU, bodyV)), "sand where the hero is to go");
        pointer.Click(display, window, u, v);
        arrival = WaitForTrace(tracePath, "loc01: the hero arrived at", 60);
    }
    double x = 1e9, y = 1e9, z = 1e9;
    const size_t at = arrival.find("arrived at ");
    const bool parsed = at != std::string::npos &&
                        sscanf(arrival.c_str() + at + 11, "%lf %lf %lf", &x, &y, &z) == 3;
    if (parsed)
        printf("the hero arrived at %.1f %.1f %.1f\n", x, y, z);
    Check(parsed && std::fabs(x - floorX) < 15.0 && std::fabs(z - floorZ) < 15.0,
          "the trace gives the hero's arrival at the clicked floor point");
    if (parsed)
        Check(WaitForHeroAt(display, window, x, z, 5), "the window shows the hero where he arrived");

    // Escape, the save page, the first slot, its "but_save": the slot's files
    // appear and the confirmation's "but_ok" goes back to the page; Escape
    // twice returns to the game.
    const std::string slot = std::string(home) + "/qasimar/save/slot_0.s";
    bool saved = false;
    if (parsed && input.display) {
        input.Tap(XK_Escape);
        Check(WaitForMainPage(display, window, 10), "Escape opens the menu over the game");
        ClickAt(display, window, input, kMainSave);
        std::this_thread::sleep_for(std::chrono::seconds(1));
        ClickAt(display, window, input, kFirstSlot);
        std::this_thread::sleep_for(std::chrono::milliseconds(500));
        ClickAt(display, window, input, kPageSave);
        saved = WaitForFile(slot, 20) && WaitForFile(slot + ".tga", 20);
        Check(saved, "the save page writes the first slot and its picture");
        std::this_thread::sleep_for(std::chrono::seconds(1));
        ClickAt(display, window, input, kSavedOk);
        std::this_thread::sleep_for(std::chrono::milliseconds(500));
        input.Tap(XK_Escape);
        Check(WaitForMainPage(display, window, 10), "Escape on the save page goes back to the main page");
        input.Tap(XK_Escape);
    }

    // The hero walks away; the load page's double click on the slot brings
    // him back to where he was saved.
    const double awayX = 100.0, awayZ = 100.0;
    bool loaded = false;
    if (saved) {
        std::this_thread::sleep_for(std::chrono::seconds(1));
        ProjectLoc01(awayX, 0.0, awayZ, u, v);
        pointer.Click(display, window, u, v);
        const std::string away = WaitForTrace(tracePath, "loc01: the hero arrived at", 60, 2);
        Check(!away.empty() && WaitForHeroAt(display, window, awayX, awayZ, 5), "the hero walked away");
        input.Tap(XK_Escape);
        Check(WaitForMainPage(display, window, 10), "Escape opens the menu again");
        ClickAt(display, window, input, kMainLoad);
        std::this_thread::sleep_for(std::chrono::seconds(1));
        ClickAt(display, window, input, kFirstSlot, true);
        loaded = WaitForHeroAt(display, window, x, z, 30);
        Check(loaded, "a double click on the slot loads the game: the hero is back where he was saved");
        double awayU = 0.0, awayV = 0.0;
        ProjectLoc01(awayX, 90.0, awayZ, awayU, awayV);
        Check(!IsHeroBlue(PicturePixel(display, window, awayU, awayV)), "and no longer where he walked to");
    }

    int status = -1;
    if (window) {
        // "but_exit" asks the quit question of an unsaved game (a load
        // clears the saved mark); its "btn_no" quits without saving. Without
        // the menu steps above the window's close request asks it.
        if (loaded) {
            // The arrival of the loaded game locks the input for a second,
            // the menu with it: Escape again until the menu shows.
            bool menuShown = false;
            for (int i = 0; i < 5 && !menuShown; ++i) {
                input.Tap(XK_Escape);
                menuShown = WaitForMainPage(display, window, 3);
            }
            Check(menuShown, "Escape opens the menu for the way out");
            ClickAt(display, window, input, kMainExit);
        } else {
            SendDeleteWindow(display, window);
        }
        std::this_thread::sleep_for(std::chrono::seconds(2));
        if (input.display)
            ClickAt(display, window, input, kQuit);
        // Shutdown under the sanitizers' leak check takes its time on a busy
        // machine too.
        for (int i = 0; i < 600 && waitpid(child, &status, WNOHANG) == 0; ++i)
            std::this_thread::sleep_for(std::chrono::milliseconds(50));
    }
    if (waitpid(child, &status, WNOHANG) == 0) {
        kill(child, SIGKILL);
        waitpid(child, &status, 0);
        Check(false, "the program ended when its window was closed");
    } else {
        Check(WIFEXITED(status) && WEXITSTATUS(status) == 0, "exit code 0");
    }

    std::ifstream config(std::string(home) + "/qasimar/config.cfg");
    std::stringstream text;
    text << config.rdbuf();
    Check(text.str().find("<config>") != std::string::npos && text.str().find("windowed=\"FALSE\"") != std::string::npos,
          "a default config.cfg in the per-user folder");
    std::error_code ignored;
    std::filesystem::remove_all(home, ignored);
    XCloseDisplay(display);
    return XvfbCheckResult();
}
