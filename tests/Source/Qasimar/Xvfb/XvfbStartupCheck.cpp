// End-to-end check of the program itself on a real X server (run under
// xvfb-run): qasimar starts in the folder that holds it and its pack, with a
// temporary per-user folder; its window appears with the program's caption
// and shows the demo's logo, then the demo's first location, "loc01" (the
// painted yard, wall and pillar, the crates before the wall, beside the pillar
// and hidden behind it, the board sprite), read from the window's pixels;
// closing the window through the window manager's protocol (what the close
// button sends) ends the program with exit code 0, and a default
// "config.cfg" is left in the per-user folder.
// Exit code 0 on success; every failure prints why.
#include "tests/Support/XvfbCheck.h"

#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
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

    const pid_t child = fork();
    if (child == 0) {
        setenv("XDG_DATA_HOME", home, 1);
        setenv("SDL_VIDEODRIVER", "x11", 1);
        setenv("SDL_AUDIODRIVER", "dummy", 1);
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

    // After the logos "global_init" changes to "loc01", which shows once its
    // loading fade is over.
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

    int status = -1;
    if (window) {
        SendDeleteWindow(display, window);
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
