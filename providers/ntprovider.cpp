#include "providers/ntprovider.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "app/appstate.h"
#include "app/processlist.h"
#include "providers/perfdata.h"
#include "settings/settings.h"

namespace {

// Enough to read the first module and to read memory of the process; never inherited.
const DWORD kOpenAccess = PROCESS_QUERY_INFORMATION | PROCESS_VM_READ;

// Identifiers to start with, and where doubling stops (a source that always fills whatever it is
// given must not make the pass allocate without end).
const DWORD kFirstIdCapacity = 2048;
const DWORD kLastIdCapacity = 1u << 20;
const DWORD kFirstModuleCapacity = 1024;

char *g_unknownText;      // 426 "[Unknown]"
char *g_accessDeniedText; // 427 "[Access denied]"
const LazyStringTable kDisplayStrings[] = {
    {&g_unknownText, 426},
    {&g_accessDeniedText, 427},
    {nullptr, 0},
};

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

// What one virtual DOS machine's task enumeration needs to feed the list.
struct WowContext {
    HWND list;
    DWORD vdmProcessId;
    DWORD attributes;
};

void CopyText(char *target, const char *source, int size)
{
    lstrcpynA(target, source ? source : "", size);
}

// The identifiers of all processes in a heap block the caller frees, or null when they cannot be
// read. The buffer grows until the system hands back less than it was given, so no process is
// left out however many there are.
DWORD *ReadProcessIds(DWORD *count)
{
    for (DWORD capacity = kFirstIdCapacity;; capacity *= 2) {
        const DWORD bytes = capacity * sizeof(DWORD);
        DWORD *ids = static_cast<DWORD *>(std::malloc(bytes));
        if (!ids)
            return nullptr;
        DWORD returned = 0;
        if (!g_ntApi.EnumProcesses(ids, bytes, &returned)) {
            std::free(ids);
            return nullptr;
        }
        if (returned < bytes || capacity >= kLastIdCapacity) {
            *count = (returned < bytes ? returned : bytes) / sizeof(DWORD);
            return ids;
        }
        std::free(ids);
    }
}

// The module handles of a process, the executable first, in a heap block the caller frees, or
// null when they cannot be listed. The system says how much room all of them need; the buffer
// grows to that rather than cutting the list short.
HMODULE *ReadModuleHandles(HANDLE process, DWORD *count)
{
    DWORD bytes = kFirstModuleCapacity * sizeof(HMODULE);
    for (;;) {
        HMODULE *modules = static_cast<HMODULE *>(std::malloc(bytes));
        if (!modules)
            return nullptr;
        DWORD needed = 0;
        if (!g_ntApi.EnumProcessModules(process, modules, bytes, &needed)) {
            std::free(modules);
            return nullptr;
        }
        if (needed <= bytes) {
            *count = needed / sizeof(HMODULE);
            return modules;
        }
        std::free(modules);
        bytes = needed; // modules may load meanwhile: ask again with the room now needed
    }
}

void ReadParent(HANDLE process, ProcessRecord *record)
{
    if (!g_ntApi.NtQueryInformationProcess)
        return;
    BasicProcessInfo info = {};
    if (g_ntApi.NtQueryInformationProcess(process, kProcessBasicInformation, &info, sizeof info,
                                          nullptr) >= 0)
        record->parentId = static_cast<DWORD>(info.inheritedFromUniqueProcessId);
}

// Everything about a process the list has not met yet. A process that cannot be opened (also one
// that ended since it was enumerated) or whose modules cannot be listed (also a 64-bit process
// seen from a 32-bit build) is described without details, so it stays out of the rows.
void ReadNewProcess(DWORD id, ProcessRecord *record)
{
    std::memset(record, 0, sizeof *record);
    record->id = id;
    record->kind = KindProcess;
    record->flags = RecordNoDetails;

    HANDLE process = OpenProcess(kOpenAccess, FALSE, id);
    if (!process) {
        CopyText(record->name, g_accessDeniedText, MAX_PATH);
        return;
    }
    ReadParent(process, record);
    HMODULE module = nullptr;
    DWORD needed = 0;
    if (!g_ntApi.EnumProcessModules(process, &module, sizeof module, &needed) ||
        needed < sizeof module) {
        CopyText(record->name, g_unknownText, MAX_PATH);
    } else {
        if (!g_ntApi.GetModuleBaseNameA(process, module, record->name, MAX_PATH))
            record->name[0] = '\0';
        record->name[MAX_PATH - 1] = '\0';
        record->priorityClass = GetPriorityClass(process);
        NormaliseModulePath(process, module, record->path, MAX_PATH);
        record->flags = 0;
    }
    CloseHandle(process);
}

// A process the list already holds: its name, path and parent cannot change while its identifier
// lives, and a record without details never changes at all, so only the priority class is read
// again. The list then shows exactly what a full read would have given it.
void FeedKnownProcess(HWND list, const ProcessRecord &known)
{
    ProcessRecord record = known;
    record.next = nullptr;
    record.prev = nullptr;
    if (!(known.flags & RecordNoDetails)) {
        HANDLE process = OpenProcess(PROCESS_QUERY_INFORMATION, FALSE, known.id);
        record.priorityClass = process ? GetPriorityClass(process) : 0;
        if (process)
            CloseHandle(process);
    }
    AddOrUpdateProcess(list, &record);
}

BOOL WINAPI OnWowTask(DWORD threadId, WORD, WORD task16, PSZ moduleName, PSZ fileName,
                      LPARAM user)
{
    const WowContext *context = reinterpret_cast<const WowContext *>(user);
    ProcessRecord record = {};
    record.id = threadId;
    record.parentId = context->vdmProcessId;
    record.task16 = task16;
    record.kind = KindTask16;
    // Two spaces indent a task under its machine in the list.
    const char *slash = FindLastChar(fileName, '\\');
    const char *shown = slash ? slash + 1 : moduleName;
    std::snprintf(record.name, sizeof record.name, "  %s", shown ? shown : "");
    CopyText(record.path, fileName, MAX_PATH);
    AddOrUpdateProcess(context->list, &record);
    return FALSE; // go on
}

BOOL WINAPI OnWowMachine(DWORD processId, DWORD attributes, LPARAM user)
{
    if (g_ntApi.VDMEnumTaskWOWEx) {
        WowContext context = {reinterpret_cast<HWND>(user), processId, attributes};
        g_ntApi.VDMEnumTaskWOWEx(processId, OnWowTask, reinterpret_cast<LPARAM>(&context));
    }
    return FALSE; // go on
}

} // namespace

int NtEnumerateProcesses(HWND list)
{
    LoadLazyStrings(kDisplayStrings);
    DWORD count = 0;
    DWORD *ids = ReadProcessIds(&count);
    if (!ids)
        return 0;
    for (DWORD i = 0; i < count; ++i) {
        if (const ProcessRecord *known = FindKnownProcess(ids[i], KindProcess)) {
            FeedKnownProcess(list, *known);
            continue;
        }
        ProcessRecord record;
        ReadNewProcess(ids[i], &record);
        AddOrUpdateProcess(list, &record);
    }
    std::free(ids);

    // Tasks come after every process, so each finds its machine's record already in the list.
    if (g_ntApi.VDMEnumProcessWOW)
        g_ntApi.VDMEnumProcessWOW(OnWowMachine, reinterpret_cast<LPARAM>(list));
    return 0;
}

BOOL NtEnumerateModules(HWND listBox, DWORD processId, ModuleCallback callback, void *user)
{
    HANDLE process = OpenProcess(kOpenAccess, FALSE, processId);
    if (!process)
        return TRUE;
    DWORD count = 0;
    HMODULE *modules = ReadModuleHandles(process, &count);
    for (DWORD i = 0; modules && i < count; ++i) {
        char name[256];
        char path[MAX_PATH];
        if (!g_ntApi.GetModuleBaseNameA(process, modules[i], name, sizeof name))
            name[0] = '\0';
        name[sizeof name - 1] = '\0';
        NormaliseModulePath(process, modules[i], path, sizeof path);
        ModuleInfo info = {};
        if (!g_ntApi.GetModuleInformation(process, modules[i], &info, sizeof info))
            info = ModuleInfo();
        callback(user, listBox, name, reinterpret_cast<ULONG_PTR>(info.lpBaseOfDll),
                 info.SizeOfImage, path);
    }
    std::free(modules);
    CloseHandle(process);
    return TRUE;
}

BOOL NtListThreads(HWND listBox, DWORD processId)
{
    return ListPerfThreads(listBox, processId, g_settings.hexProcessId);
}

int NtTerminateWowTask(DWORD vdmProcessId, WORD task16)
{
    if (!g_ntApi.VDMTerminateTaskWOW)
        return 0;
    return g_ntApi.VDMTerminateTaskWOW(vdmProcessId, task16) ? 1 : 0;
}

void NormaliseModulePath(HANDLE process, HMODULE module, char *buffer, DWORD size)
{
    if (!buffer || !size)
        return;
    const DWORD length = g_ntApi.GetModuleFileNameExA(process, module, buffer, size);
    buffer[length < size ? length : size - 1] = '\0';

    // Drive paths and network paths ("\\server\share") are already ordinary.
    if (buffer[0] != '\\' || buffer[1] == '\\')
        return;
    if (std::strncmp(buffer, "\\??\\", 4) == 0) {
        std::memmove(buffer, buffer + 4, std::strlen(buffer + 4) + 1);
        return;
    }

    // "\Variable\rest": the first component names an environment variable.
    const char *separator = FindChar(buffer + 1, '\\');
    if (!separator)
        return;
    char variable[MAX_PATH];
    const size_t variableLength = static_cast<size_t>(separator - (buffer + 1));
    if (variableLength >= sizeof variable)
        return;
    std::memcpy(variable, buffer + 1, variableLength);
    variable[variableLength] = '\0';
    char value[MAX_PATH];
    const DWORD valueLength = GetEnvironmentVariableA(variable, value, sizeof value);
    if (valueLength == 0 || valueLength >= sizeof value)
        return;
    const size_t restLength = std::strlen(separator + 1);
    if (valueLength + 1 + restLength >= size)
        return;
    std::memmove(buffer + valueLength + 1, separator + 1, restLength + 1);
    std::memcpy(buffer, value, valueLength);
    buffer[valueLength] = '\\';
}
