// Mesa's software rasteriser keeps a few allocations for the life of the
// process. SDL unloads the driver when the last GL window goes, after which
// the leak checker can no longer name the module and so cannot be told to
// ignore it (lsan.supp). Loading the driver libraries once more, never to be
// unloaded, keeps their names for the report.
#include <dlfcn.h>

namespace {

struct PinDriver {
    PinDriver()
    {
        static const char* const kLibraries[] = {
            "libEGL_mesa.so.0", "libglapi.so.0", "libLLVM-15.so.1", "/usr/lib/x86_64-linux-gnu/dri/swrast_dri.so",
        };
        for (const char* name : kLibraries)
            dlopen(name, RTLD_NOW | RTLD_GLOBAL | RTLD_NODELETE);
    }
} s_pinDriver;

}  // namespace
