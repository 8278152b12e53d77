// What the bench programs share: a millisecond clock, idle children to measure among, and the
// floor every measurement is a ratio of (enumerate the processes, then open each one and read its
// priority class).
#pragma once
#include <windows.h>

#include <cstdio>
#include <cstring>
#include <vector>

#include "providers/provider.h"

inline double NowMs()
{
    static LARGE_INTEGER frequency = [] {
        LARGE_INTEGER value;
        QueryPerformanceFrequency(&value);
        return value;
    }();
    LARGE_INTEGER now;
    QueryPerformanceCounter(&now);
    return 1000.0 * static_cast<double>(now.QuadPart) / static_cast<double>(frequency.QuadPart);
}

// kvchild.exe sits one folder above the bench programs.
inline bool HelperPath(char *path, DWORD size)
{
    const DWORD length = GetModuleFileNameA(nullptr, path, size);
    if (length == 0 || length >= size)
        return false;
    char *slash = std::strrchr(path, '\\');
    if (!slash)
        return false;
    *slash = '\0';
    slash = std::strrchr(path, '\\');
    if (!slash || static_cast<size_t>(slash - path) + sizeof "\\kvchild.exe" > size)
        return false;
    std::strcpy(slash, "\\kvchild.exe");
    return true;
}

// Waits until a started child can be looked at completely.
inline void WaitUntilLoaded(HANDLE process)
{
    for (int attempt = 0; attempt < 500; ++attempt) {
        HMODULE module = nullptr;
        DWORD needed = 0;
        if (g_ntApi.EnumProcessModules(process, &module, sizeof module, &needed) &&
            needed >= sizeof module)
            return;
        Sleep(10);
    }
}

inline std::vector<HANDLE> StartChildren(int count)
{
    std::vector<HANDLE> children;
    char path[MAX_PATH];
    if (!HelperPath(path, sizeof path))
        return children;
    for (int i = 0; i < count; ++i) {
        // A lifetime, so that children of a bench that dies do not idle forever.
        char commandLine[MAX_PATH + 32];
        std::snprintf(commandLine, sizeof commandLine, "\"%s\" --lifetime 600000", path);
        STARTUPINFOA startup = {};
        startup.cb = sizeof startup;
        PROCESS_INFORMATION info = {};
        if (!CreateProcessA(path, commandLine, nullptr, nullptr, FALSE, 0, nullptr, nullptr,
                            &startup, &info)) {
            std::printf("could not start %s (error %lu)\n", path, GetLastError());
            break;
        }
        CloseHandle(info.hThread);
        children.push_back(info.hProcess);
    }
    for (HANDLE child : children)
        WaitUntilLoaded(child);
    return children;
}

inline void KillChildren(const std::vector<HANDLE> &children)
{
    for (HANDLE child : children)
        TerminateProcess(child, 0);
    for (HANDLE child : children) {
        WaitForSingleObject(child, 5000);
        CloseHandle(child);
    }
}

// The least any pass must do: enumerate, then open each process and read its priority class.
inline void LookAtEveryProcess()
{
    static DWORD ids[16384];
    DWORD bytes = 0;
    if (!g_ntApi.EnumProcesses(ids, sizeof ids, &bytes))
        return;
    for (DWORD i = 0; i < bytes / sizeof(DWORD); ++i) {
        HANDLE process = OpenProcess(PROCESS_QUERY_INFORMATION, FALSE, ids[i]);
        if (!process)
            continue;
        GetPriorityClass(process);
        CloseHandle(process);
    }
}
