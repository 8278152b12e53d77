#pragma once
#include <windows.h>

// Enables a privilege in the program's own token. The token functions are bound from ADVAPI32
// on the first call only (the library is never loaded for it); every failure is silent.
void EnableDebugPrivilege(const char *privilege, DWORD attributes);

// Counts of what the calls did, so tests can see the once-only binding and the adjustments.
struct DebugPrivilegeStats {
    int lookups;     // times the exports were looked up
    int adjustments; // times AdjustTokenPrivileges was called
};
extern DebugPrivilegeStats g_debugPrivilegeStats;
