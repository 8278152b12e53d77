// Kelvane: a process viewer for the Windows 9x and NT families.
//
// How a message travels: WinMain runs start-up (app/startup.cpp) and the message loop, which
// applies the main accelerators and dispatches to MainWndProc. MainWndProc is one lookup in the
// main message table (app/mainwnd.cpp, app/msgmap.cpp); WM_COMMAND goes on to the command table,
// whose handlers open views (each a ViewLayout run by the one dialog host, views/host.cpp), run
// actions (actions/) or refresh the list. A refresh asks the fill layer (providers/fill.cpp) to
// run the active provider (9x or NT), which hands each process to AddOrUpdateProcess
// (app/processlist.cpp), and answers whether the selection was lost, so that the main window
// updates its commands and status line; the list view then asks for each cell's text on demand
// through WM_NOTIFY. Settings (settings/) are read before the window exists and written back
// when it is destroyed or the session ends.
#include <windows.h>

#include "app/appstate.h"
#include "app/startup.h"

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR, int showCommand)
{
    if (!InitInstance(instance, showCommand))
        return 0;
    HACCEL accelerators = LoadAcceleratorsA(instance, g_className);
    if (!RegisterDialogClass(instance))
        return 0;
    return RunMessageLoop(accelerators);
}
