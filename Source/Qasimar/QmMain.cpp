// The game program: start-up, the main loop until the window closes, shutdown.
#include "Source/Qasimar/QmStartup.h"

#include "Engine/Core/Gm/GLibLoc/D3d/GmDeviceWrapper.h"
#include "Platform/Win32/WinWindow.h"

int main()
{
    if (StartGame(1280, 1024, nullptr)) {
        SetWindowTextA(g_pGmDevice->GetWindow(), "The voyages of Qasimar and the Copper Kettle");
        RunMainLoop();
    }
    ShutdownGame();
    return 0;
}
