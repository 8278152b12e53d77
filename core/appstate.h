// Process-wide state of Kelvane and the small helpers every part of the program uses:
// string-table access, message boxes captioned with the class name, and character stepping
// that respects double-byte character sets.
#pragma once
#include <windows.h>

extern bool IsNt;   // Windows NT family
extern bool IsNt5;  // NT family, major version above 4

extern HINSTANCE g_instance;         // set once the provider is bound
extern char g_windowTitle[MAX_PATH]; // string 2: caption and tray tip
extern char g_className[MAX_PATH];   // string 1: window class, accelerator name, message-box caption
extern HICON g_smallIcon;            // icon 101 at small-icon size
extern HICON g_usageIcon;            // icon 120 at small-icon size
extern HWND g_mainWindow;            // the main window once it is created

// Sets IsNt and IsNt5 from a GetVersion() value; returns IsNt.
bool DetectOsFromVersion(DWORD version);
bool DetectOs();

// New heap copy of string-table entry `id` (at most 259 characters, always terminated, empty when
// absent); null only when memory runs out. Free with FreeResString.
char *LoadResString(UINT id);
void FreeResString(char *text);
// String-table entry `id`, loaded on its first use and kept for the run: the one way a text that
// is shown again and again is loaded. "" when absent or when memory runs out; never null.
const char *ResText(UINT id);

// MessageBoxA with string `id` as text and the class name as caption.
int ShowResMessage(HWND owner, UINT id, UINT type);

// Double-byte aware character stepping (CharNextExA with CP_ACP).
const char *NextChar(const char *p);
const char *FindChar(const char *p, char c);
const char *FindLastChar(const char *p, char c);
