// The game program: start-up, the main loop until the window closes, shutdown.
#include "Source/Qasimar/QmStartup.h"

int main()
{
    InitApplication();
    RunMainLoop();
    ShutdownGame();
    return 0;
}
