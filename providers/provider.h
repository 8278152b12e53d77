// The provider interface: everything the program knows about processes, threads, modules and
// heaps comes through here. One provider is active per run, chosen from IsNt. Every system entry
// point a provider uses is bound at run time into a table of function pointers; tests fill the
// same tables with fakes to reach what the host cannot show.
#pragma once
#include <windows.h>
#include <tlhelp32.h>

#include "core/exports.h"

// Called once per module: (user data, module name, base, image size, path).
typedef void (*ModuleCallback)(void *user, const char *name, ULONG_PTR base, SIZE_T size,
                               const char *path);

// ---- NT provider entry points -------------------------------------------------------------
typedef BOOL(WINAPI *EnumProcessesFn)(DWORD *ids, DWORD bytes, DWORD *needed);
typedef BOOL(WINAPI *EnumProcessModulesFn)(HANDLE process, HMODULE *modules, DWORD bytes,
                                           DWORD *needed);
typedef DWORD(WINAPI *GetModuleBaseNameAFn)(HANDLE process, HMODULE module, LPSTR name,
                                            DWORD size);
typedef DWORD(WINAPI *GetModuleFileNameExAFn)(HANDLE process, HMODULE module, LPSTR name,
                                              DWORD size);
typedef DWORD(WINAPI *GetModuleFileNameExWFn)(HANDLE process, HMODULE module, LPWSTR name,
                                              DWORD size);
struct ModuleInfo { // MODULEINFO
    LPVOID lpBaseOfDll;
    DWORD SizeOfImage;
    LPVOID EntryPoint;
};
typedef BOOL(WINAPI *GetModuleInformationFn)(HANDLE process, HMODULE module, ModuleInfo *info,
                                             DWORD size);
typedef LONG(WINAPI *NtQueryInformationProcessFn)(HANDLE process, int infoClass, PVOID info,
                                                  ULONG size, PULONG returned);
typedef LONG(WINAPI *NtQuerySystemInformationFn)(int infoClass, PVOID info, ULONG size,
                                                 PULONG returned);
typedef BOOL(WINAPI *EnumProcessModulesExFn)(HANDLE process, HMODULE *modules, DWORD bytes,
                                             DWORD *needed, DWORD filter);
typedef BOOL(WINAPI *QueryFullProcessImageNameAFn)(HANDLE process, DWORD flags, LPSTR name,
                                                   DWORD *size);
typedef BOOL(WINAPI *IsWow64ProcessFn)(HANDLE process, BOOL *wow64);
typedef DWORD(WINAPI *GetActiveProcessorCountFn)(WORD group);
typedef void(WINAPI *GetNativeSystemInfoFn)(SYSTEM_INFO *info);
typedef HANDLE(WINAPI *OpenThreadFn)(DWORD access, BOOL inherit, DWORD threadId);
typedef BOOL(WINAPI *ProcessEnumProc)(DWORD processId, DWORD attributes, LPARAM user);
typedef BOOL(WINAPI *TaskEnumProcEx)(DWORD threadId, WORD module16, WORD task16, PSZ moduleName,
                                     PSZ fileName, LPARAM user);
typedef BOOL(WINAPI *VDMTerminateTaskWOWFn)(DWORD processId, WORD task16);
typedef INT(WINAPI *VDMEnumTaskWOWExFn)(DWORD processId, TaskEnumProcEx callback, LPARAM user);
typedef INT(WINAPI *VDMEnumProcessWOWFn)(ProcessEnumProc callback, LPARAM user);
typedef BOOL(WINAPI *GetSystemTimesFn)(FILETIME *idle, FILETIME *kernel, FILETIME *user);
typedef BOOL(WINAPI *GlobalMemoryStatusExFn)(MEMORYSTATUSEX *status);
typedef ULONGLONG(WINAPI *GetTickCount64Fn)();

// PROCESS_BASIC_INFORMATION in the width of the build: on 64-bit Windows every field is
// pointer-sized, so a 32-bit layout would read the parent from the wrong place.
struct BasicProcessInfo {
    LONG_PTR exitStatus;
    PVOID pebBaseAddress;
    ULONG_PTR affinityMask;
    LONG_PTR basePriority;
    ULONG_PTR uniqueProcessId;
    ULONG_PTR inheritedFromUniqueProcessId;
};
const int kProcessBasicInformation = 0;

typedef LONG(WINAPI *NtQueryObjectFn)(HANDLE handle, int infoClass, PVOID info, ULONG size,
                                      PULONG returned);
typedef DWORD(WINAPI *QueryDosDeviceAFn)(LPCSTR device, LPSTR target, DWORD size);

struct NtApi {
    GetModuleInformationFn GetModuleInformation;
    GetModuleFileNameExAFn GetModuleFileNameExA;
    GetModuleFileNameExWFn GetModuleFileNameExW;
    GetModuleBaseNameAFn GetModuleBaseNameA;
    EnumProcessModulesFn EnumProcessModules;
    EnumProcessesFn EnumProcesses;
    EnumProcessModulesExFn EnumProcessModulesEx;           // optional (Vista and later)
    NtQueryInformationProcessFn NtQueryInformationProcess; // optional
    NtQuerySystemInformationFn NtQuerySystemInformation;   // optional
    NtQueryObjectFn NtQueryObject;                         // optional
    QueryDosDeviceAFn QueryDosDeviceA;                     // optional
    QueryFullProcessImageNameAFn QueryFullProcessImageNameA; // optional (Vista and later)
    IsWow64ProcessFn IsWow64Process;                       // optional (XP SP2 and later)
    OpenThreadFn OpenThread;                               // optional (2000 and later)
    GetActiveProcessorCountFn GetActiveProcessorCount;     // optional (7 and later)
    GetNativeSystemInfoFn GetNativeSystemInfo;             // optional (XP and later)
    VDMTerminateTaskWOWFn VDMTerminateTaskWOW;             // optional
    VDMEnumTaskWOWExFn VDMEnumTaskWOWEx;                   // optional
    VDMEnumProcessWOWFn VDMEnumProcessWOW;                 // optional
    GetSystemTimesFn GetSystemTimes;                       // optional (XP SP1 and later)
    GlobalMemoryStatusExFn GlobalMemoryStatusEx;           // optional (2000 and later)
    GetTickCount64Fn GetTickCount64;                       // optional (Vista and later)
};

// ---- Windows 9x provider entry points (ToolHelp32 in KERNEL32) -----------------------------
typedef HANDLE(WINAPI *CreateToolhelp32SnapshotFn)(DWORD flags, DWORD processId);
typedef BOOL(WINAPI *Module32Fn)(HANDLE snapshot, MODULEENTRY32 *entry);
typedef BOOL(WINAPI *Process32Fn)(HANDLE snapshot, PROCESSENTRY32 *entry);
typedef BOOL(WINAPI *Thread32Fn)(HANDLE snapshot, THREADENTRY32 *entry);
typedef BOOL(WINAPI *Heap32ListFn)(HANDLE snapshot, HEAPLIST32 *entry);
typedef BOOL(WINAPI *Heap32FirstFn)(HEAPENTRY32 *entry, DWORD processId, ULONG_PTR heapId);
typedef BOOL(WINAPI *Heap32NextFn)(HEAPENTRY32 *entry);

struct ToolhelpApi {
    CreateToolhelp32SnapshotFn CreateToolhelp32Snapshot;
    Module32Fn Module32First;
    Module32Fn Module32Next;
    Process32Fn Process32First;
    Process32Fn Process32Next;
    Thread32Fn Thread32First;
    Thread32Fn Thread32Next;
    Heap32ListFn Heap32ListFirst;
    Heap32ListFn Heap32ListNext;
    Heap32FirstFn Heap32First;
    Heap32NextFn Heap32Next;
};

extern NtApi g_ntApi;
extern ToolhelpApi g_toolhelpApi;

// Opens the process with `access`, or where that is refused with the limited query right (Vista
// and later), which still gives its priority class, times and image name. `granted` (may be
// null) tells whether the asked access was granted rather than the limited one. Null when
// neither is granted.
HANDLE OpenProcessForQuery(DWORD id, DWORD access, bool *granted = nullptr);

// Binds the provider of the running family (IsNt); true when every required export was found.
bool BindProvider();
bool BindNtProvider(const ExportSource &source);
bool Bind9xProvider(const ExportSource &source);
