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

// A zero-terminated table of (slot, string id): each slot receives a heap copy of its string.
struct LazyStringTable {
    char **slot;
    UINT id;
};

// Titles handed to the detail views, loaded once at start-up.
extern char *g_titleModules;      // 458 "Modules -- "
extern char *g_titleModuleUsage;  // 459 "Module usage"
extern char *g_titleBadVersion;   // 460 "Incorrect Version"
extern char *g_titleProcessTree;  // 461 "Process Tree"
extern char *g_titleStartupInfo;  // 462 "Startup Information -- "
extern char *g_titleThreads;      // 463 "Threads -- "
extern char *g_titlePriority;     // 464 "Priority -- "
extern char *g_titleMemory;       // 465 "Memory -- "
extern char *g_titleHeap;         // 466 "Heap -- "
extern const LazyStringTable g_viewTitleTable[];

// Sets IsNt and IsNt5 from a GetVersion() value; returns IsNt.
bool DetectOsFromVersion(DWORD version);
bool DetectOs();

// New heap copy of string-table entry `id` (at most 259 characters, always terminated, empty when
// absent); null only when memory runs out. Free with FreeResString.
char *LoadResString(UINT id);
void FreeResString(char *text);
void LoadLazyStrings(const LazyStringTable *table);

// MessageBoxA with string `id` as text and the class name as caption.
int ShowResMessage(HWND owner, UINT id, UINT type);

// Double-byte aware character stepping (CharNextExA with CP_ACP).
const char *NextChar(const char *p);
const char *FindChar(const char *p, char c);
const char *FindLastChar(const char *p, char c);
