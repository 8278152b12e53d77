#pragma once
#include <windows.h>

// Start-up of the program: family detection, settings, the single-instance rule, provider
// binding, window classes and the main window. True when the main window exists.
bool InitInstance(HINSTANCE instance, int showCommand);
// Registers "KELVANEDLG": the system dialog class with this program's instance and icon.
bool RegisterDialogClass(HINSTANCE instance);
// Runs until WM_QUIT, translating the main accelerators; returns WM_QUIT's wParam.
int RunMessageLoop(HACCEL accelerators);
