// Kelvane: a process viewer for the Windows 9x and NT families.
//
// Floors: res/, then core/ (process table and list, state, strings, columns, the dialog host,
// saving, settings, binding), then providers/, then views/, actions/ and settings/, then app/,
// the roof. A file includes only its own floor and those below, and no two modules include each
// other; scripts/check_floors.py checks both. Views, actions and settings reach the main window
// through core/mainwindow.h alone, and only core/processlist and app/ name the main list's window.
//
// Who owns what: the process table (core/processtable.cpp) owns every process record, the rows'
// order and each process's parent; it names no window. The main list (core/processlist.cpp) is an
// owner-data list view that only shows the table's rows. A command or a view holds a process by
// reference (id, kind, start time: core/processref.cpp, core/dialogs.cpp), never by row or record
// pointer, and looks it up again after anything modal.
//
// How a message travels: WinMain runs start-up (app/startup.cpp) and the message loop, which
// first hands an open modeless view (Find Handle or DLL) its own keys, applies the main window's
// accelerators while it is active and dispatches to MainWndProc. MainWndProc is one lookup in the
// main message table (app/mainwnd.cpp, core/msgmap.cpp); WM_COMMAND goes on to the command table,
// whose handlers open dialogs (views and small dialogs alike, each a constant DialogSpec run by
// the one dialog host, core/dialoghost.cpp), run actions (actions/) or refresh the list. A
// refresh (RefreshProcessList) marks the rows in view, asks the provider installed at binding
// (providers/fill.cpp: the 9x or the NT provider) for one record per process, with no window in
// sight, and merges that reading into the table (MergeProcesses: new records, changed figures,
// forgotten processes, ended highlights). The list then shows the table's rows (ShowRows): they
// are arranged (rows the filter box's text rejects leave, core/rowfilter.cpp; newcomers take
// their sorted places; rows sorted by a figure column follow it), the list takes their count, the
// selection, focus and top row stay on their processes, and only what changed is repainted. The
// list view asks for each cell's text on demand through WM_NOTIFY (core/processcells.cpp); a text
// column's values are read once per record, on that first request, through the reader the NT
// provider installs (core/textcells.cpp, providers/procinfo.cpp). Settings (core/settings.cpp)
// are read before the window exists and written back when it is destroyed or the session ends.
//
// "/list" and "/list:FILE" (app/scriptlist.cpp) take another way: no window, one reading of the
// table after another half a second later, and the list written out as text.
#include <windows.h>

#include "app/scriptlist.h"
#include "app/startup.h"
#include "core/appstate.h"

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR, int showCommand)
{
    ListTarget list;
    if (ParseListSwitch(GetCommandLineA(), &list)) {
        g_instance = instance;
        return RunListCommand(list);
    }
    if (!InitInstance(instance, showCommand))
        return 0;
    HACCEL accelerators = LoadAcceleratorsA(instance, g_className);
    if (!RegisterDialogClass(instance))
        return 0;
    return RunMessageLoop(accelerators);
}
