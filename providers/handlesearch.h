// The search of Find Handle or DLL, one process at a time, without any window: the names of the
// process's handles and the paths of its modules, each matched against a text regardless of case.
#pragma once
#include <windows.h>

#include "providers/handles.h"

// A text prepared for matching: folded to one case once, so that each name costs one fold.
struct SearchText {
    char *folded; // heap text; null when empty
    size_t length;
};
bool PrepareSearchText(const char *text, SearchText *search);
void FreeSearchText(SearchText *search);
// Whether `name` holds the search text, regardless of case.
bool MatchesSearch(const SearchText &search, const char *name);

// One match; texts valid during the callback only.
struct SearchHit {
    DWORD processId;
    const char *type; // the handle's object type; null for a module
    const char *name; // the handle's name or the module's path
};
typedef void (*SearchHitCallback)(void *user, const SearchHit &hit);

// What a process's search met besides its matches.
enum SearchNote : unsigned {
    SearchModulesTooWide = 1, // a 64-bit process seen by the 32-bit build: its modules unread
    SearchHandlesDenied = 2,  // the process refused its handles
};

// Searches the handles of process `id` in `snapshot` (none when null, as on Windows 9x) and its
// modules; returns the SearchNote bits that apply.
unsigned SearchProcess(const HandleSnapshot *snapshot, DWORD id, const SearchText &search,
                       SearchHitCallback callback, void *user);

