// The user's settings: one record for the run, loaded from and saved to
// HKEY_CURRENT_USER\Software\Orvik\kelvane as text values.
#pragma once
#include <windows.h>

struct Settings {
    int windowWidth = 800; // pixels; the defaults are for a 96-dpi screen (see FitWindowSize)
    int windowHeight = 500;
    bool useSysTray = true;
    bool startMinimized = false;
    bool allowMultiplyInstances = false;
    bool hexProcessId = false;
    int threadRefresh = 0; // seconds, 0 = no automatic refresh
    int moduleRefresh = 0;
    int memoryRefresh = 0;
    int mainRefresh = 2;
    bool statusGraphs = true; // the small graphs in the status bar
    bool highlightNew = true; // rows of processes that just started on a light green background
    bool highlightEnded = true; // rows of processes that just ended kept a while on light red
    bool treeView = false; // the main list shows each process under its parent
};

extern Settings g_settings;

// Registry location under HKEY_CURRENT_USER; tests point it at a private key.
extern const char *g_settingsKeyPath;

// Selects the active column set, then reads every stored value over the defaults.
void LoadSettings();
// The main window's first size on a screen of `dpi` with a work area of the given size: a size
// too small to use (a bad or foreign stored value) gives way to the default scaled to the
// screen, and any size is cut to the work area.
void FitWindowSize(int dpi, int workWidth, int workHeight);
// A refresh interval as its timer's milliseconds, the seconds bounded as the Set Refresh Times
// dialog bounds them.
UINT RefreshPeriodMs(int seconds);
// Writes the whole record (and the main list's current column widths). Returns false when the
// key could not be opened or created.
bool SaveSettings();
