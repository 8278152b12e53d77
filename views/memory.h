// The memory map view: one line per region of the selected process's address space, with the
// module that occupies image regions, and the committed private, mapped and image totals.
// The module tally is shared with the module-usage view.
#pragma once
#include <windows.h>

struct ModuleTallyEntry {
    ModuleTallyEntry *next;
    ULONG_PTR base;
    SIZE_T size;
    char *name;  // owned copies
    char *path;
    DWORD count; // times the module was reported
};

// Modules reported by one enumeration, newest first. Lives for one walk; FreeModuleTally
// releases the entries and their texts.
struct ModuleTally {
    ModuleTallyEntry *head;
};

// Module callback (user data is the ModuleTally): counts a module already in the tally (same
// base, same name and path regardless of case) or puts a new entry at the front.
void CountModule(void *user, const char *name, ULONG_PTR base, SIZE_T size, const char *path);
void FreeModuleTally(ModuleTally *tally);

// Command 40008: opens the memory view of the process selected in the main list.
LRESULT OnMemoryCommand(HWND window, WPARAM wParam, WORD code, LPARAM lParam);
