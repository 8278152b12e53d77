// Kelvane: a process viewer for the Windows 9x and NT families.
//
// Floors: core/ is the ground floor (process record and list, state, strings, columns, the dialog
// host, saving, settings, binding) and includes nothing above it; providers/ stands on core/
// only; views/, actions/ and settings/ stand on core/ and providers/ and reach the main window
// through core/mainwindow.h alone; app/ is the roof and the only folder that includes app/.
//
// How a message travels: WinMain runs start-up (app/startup.cpp) and the message loop, which
// applies the main accelerators and dispatches to MainWndProc. MainWndProc is one lookup in the
// main message table (app/mainwnd.cpp, core/msgmap.cpp); WM_COMMAND goes on to the command table,
// whose handlers open dialogs (views and small dialogs alike, each a constant DialogSpec run by
// the one dialog host, core/dialoghost.cpp), run actions (actions/) or refresh the list. A
// refresh asks the fill layer (providers/fill.cpp) to run the active provider (9x or NT), which
// hands each process to AddOrUpdateProcess (core/processlist.cpp), and answers whether the
// selection was lost, so that the main window updates its commands and status line. The pass
// ends by hiding the rows the filter box's text rejects (core/rowfilter.cpp; their records stay),
// then by putting rows sorted by a figure column back in order, or by repainting only the
// figure cells whose texts changed; the list view then asks for each cell's text on demand
// through WM_NOTIFY; a text column's values are read once per record, on that first request,
// through the reader the NT provider installs (core/textcells.cpp, providers/procinfo.cpp).
// Settings (core/settings.cpp)
// are read before the window exists and written back when it is destroyed or the session ends.
#include <windows.h>

#include "app/startup.h"
#include "core/appstate.h"

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR, int showCommand)
{
    if (!InitInstance(instance, showCommand))
        return 0;
    HACCEL accelerators = LoadAcceleratorsA(instance, g_className);
    if (!RegisterDialogClass(instance))
        return 0;
    return RunMessageLoop(accelerators);
}
