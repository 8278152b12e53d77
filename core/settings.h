// The user's settings: one record for the run, loaded from and saved to
// HKEY_CURRENT_USER\Software\Orvik\kelvane as text values.
#pragma once
#include <windows.h>

struct Settings {
    int windowWidth = 500;
    int windowHeight = 300;
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
};

extern Settings g_settings;

// Registry location under HKEY_CURRENT_USER; tests point it at a private key.
extern const char *g_settingsKeyPath;

// Selects the active column set, then reads every stored value over the defaults.
void LoadSettings();
// Writes the whole record (and the main list's current column widths). Returns false when the
// key could not be opened or created.
bool SaveSettings();
