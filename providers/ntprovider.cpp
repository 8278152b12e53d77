#include "providers/ntprovider.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "core/appstate.h"
#include "core/processtable.h"
#include "core/settings.h"
#include "providers/perfdata.h"
#include "providers/sysinfo.h"
#include "providers/systemsample.h"
#include "resource.h"

namespace {

// Enough to read the first module and to read memory of the process; never inherited.
const DWORD kOpenAccess = PROCESS_QUERY_INFORMATION | PROCESS_VM_READ;
const DWORD kListModulesAll = 3;          // LIST_MODULES_ALL: 32- and 64-bit modules

// Identifiers to start with, and where doubling stops (a source that always fills whatever it is
// given must not make the pass allocate without end).
const DWORD kFirstIdCapacity = 2048;
const DWORD kLastIdCapacity = 1u << 20;
const DWORD kFirstModuleCapacity = 1024;

// What one virtual DOS machine's task enumeration needs to add its tasks to the reading.
struct WowContext {
    std::vector<ProcessRecord> *reading;
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

// Lists module handles the way that sees every module: from a 64-bit program, the plain call
// returns only the 64-bit modules of a 32-bit process, the extended one (Vista and later) all.
BOOL ListModuleHandles(HANDLE process, HMODULE *modules, DWORD bytes, DWORD *needed)
{
    if (g_ntApi.EnumProcessModulesEx)
        return g_ntApi.EnumProcessModulesEx(process, modules, bytes, needed, kListModulesAll);
    return g_ntApi.EnumProcessModules(process, modules, bytes, needed);
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
        if (!ListModuleHandles(process, modules, bytes, &needed)) {
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

// Opens a process to read its priority class and its parent. Where the full query right is
// refused, Vista and later still grant the limited one to protected and elevated processes; the
// image-name query is the sign that the system knows it.
// Name and path from the first module, the executable.
bool ReadFirstModule(HANDLE process, ProcessRecord *record)
{
    HMODULE module = nullptr;
    DWORD needed = 0;
    if (!ListModuleHandles(process, &module, sizeof module, &needed) || needed < sizeof module)
        return false;
    if (!g_ntApi.GetModuleBaseNameA(process, module, record->name, MAX_PATH))
        record->name[0] = '\0';
    record->name[MAX_PATH - 1] = '\0';
    NormaliseModulePath(process, module, record->path, MAX_PATH);
    return true;
}

// Name and path from the image name, where the modules cannot be listed: a 64-bit process seen
// from a 32-bit build, or a process opened with the limited right only.
bool ReadImageName(HANDLE process, ProcessRecord *record)
{
    DWORD size = MAX_PATH;
    if (!g_ntApi.QueryFullProcessImageNameA ||
        !g_ntApi.QueryFullProcessImageNameA(process, 0, record->path, &size) || size == 0)
        return false;
    record->path[size < MAX_PATH ? size : MAX_PATH - 1] = '\0';
    const char *slash = FindLastChar(record->path, '\\');
    CopyText(record->name, slash ? slash + 1 : record->path, MAX_PATH);
    return true;
}

// This program built for 32 bits, running on 64-bit Windows.
bool ProgramIsWow64()
{
    static int wow64 = -1;
    BOOL self = FALSE;
    if (wow64 < 0)
        wow64 = sizeof(void *) == 4 && g_ntApi.IsWow64Process &&
                g_ntApi.IsWow64Process(GetCurrentProcess(), &self) && self;
    return wow64 != 0;
}

// A 64-bit process seen by this program built for 32 bits on 64-bit Windows.
bool WiderThanProgram(HANDLE process)
{
    BOOL wow64 = FALSE;
    return ProgramIsWow64() && g_ntApi.IsWow64Process(process, &wow64) && !wow64;
}

unsigned ProcessorCount()
{
    static unsigned count;
    if (!count)
        count = CountProcessors(g_ntApi.GetActiveProcessorCount, g_ntApi.GetNativeSystemInfo);
    return count;
}

// The process's live figures from this pass's snapshot; its CPU share is counted from the
// figures of the previous pass, when there were any.
void ApplyFigures(ProcessRecord *record, const ProcessFigures *previous, const SysProcessEntry *entry,
                  ULONGLONG takenAt)
{
    ProcessFigures figures = {};
    figures.cpuTenths = -1;
    record->threadCount = 0;
    if (entry) {
        figures.known = true;
        figures.cpuTime = entry->userTime + entry->kernelTime;
        figures.sampleTime = takenAt;
        const bool cut = (record->flags & RecordWider) != 0;
        figures.workingSet = cut ? kFigureUnknown : entry->workingSet;
        figures.privateBytes = cut ? kFigureUnknown : entry->privateBytes;
        figures.handleCount = entry->handleCount;
        if (previous && previous->known)
            figures.cpuTenths = CpuShareTenths(previous->cpuTime, figures.cpuTime,
                                               previous->sampleTime, takenAt, ProcessorCount());
        record->threadCount = entry->threadCount;
    }
    record->figures = figures;
    if (entry && entry->threadsSuspended)
        record->flags |= RecordThreadsSuspended;
    else
        record->flags &= ~RecordThreadsSuspended;
}

// Everything about a process the list has not met yet (or met without details). A process that
// cannot be opened (also one that ended since it was enumerated) or whose name cannot be read is
// described without details, so it stays out of the rows.
// The priority class whose base priority the system's process query reports; 0 where the
// number names no class (Wine reports 0 for every process).
DWORD ClassOfBasePriority(LONG basePriority)
{
    static const struct {
        LONG base;
        DWORD priorityClass;
    } kClasses[] = {
        {4, IDLE_PRIORITY_CLASS},          {6, BELOW_NORMAL_PRIORITY_CLASS},
        {8, NORMAL_PRIORITY_CLASS},        {10, ABOVE_NORMAL_PRIORITY_CLASS},
        {13, HIGH_PRIORITY_CLASS},         {24, REALTIME_PRIORITY_CLASS},
    };
    for (const auto &entry : kClasses)
        if (entry.base == basePriority)
            return entry.priorityClass;
    return 0;
}

// Passes over which every process off screen has its priority class read once.
const unsigned kPriorityRounds = 8;
unsigned g_priorityRound;

// Whether this pass reads the known process's priority class itself: always for a row in view,
// otherwise by turns, so that each is read at least every kPriorityRounds passes.
bool ReadsPriorityNow(const ProcessRecord &known)
{
    return (known.flags & RecordOnScreen) ||
           (known.sequence + g_priorityRound) % kPriorityRounds == 0;
}

void ReadNewProcess(DWORD id, const SysProcessEntry *entry, ProcessRecord *record)
{
    const ULONGLONG createTime = entry ? entry->createTime : 0;
    std::memset(record, 0, sizeof *record);
    record->id = id;
    record->kind = KindProcess;
    record->flags = RecordNoDetails;
    record->createTime = createTime;

    bool canReadMemory = false;
    HANDLE process = OpenProcessForQuery(id, kOpenAccess, &canReadMemory);
    if (!process) {
        CopyText(record->name, ResText(IDS_NAME_ACCESSDENIED), MAX_PATH);
        return;
    }
    ReadParent(process, record);
    if ((canReadMemory && ReadFirstModule(process, record)) || ReadImageName(process, record)) {
        record->priorityClass = GetPriorityClass(process);
        record->flags = WiderThanProgram(process) ? static_cast<DWORD>(RecordWider) : 0;
        if (entry && record->priorityClass &&
            ClassOfBasePriority(entry->basePriority) == record->priorityClass)
            record->flags |= RecordQueryPriority;
    } else {
        CopyText(record->name, ResText(IDS_NAME_UNKNOWN), MAX_PATH);
    }
    CloseHandle(process);
}

// A process the table already holds with details: its name, path and parent cannot change while
// it lives, and its figures come from the system's process query. Its priority class comes from
// there too where the query tells it; otherwise the process is opened to read it, every pass
// while its row is in view and by turns while not (its class meanwhile as last read).
ProcessRecord ReadKnownProcess(const ProcessRecord &known, const SysProcessEntry *entry,
                               ULONGLONG takenAt)
{
    ProcessRecord record = known;
    record.next = nullptr;
    record.prev = nullptr;
    record.texts = RecordTexts(); // the table's record keeps its own
    ApplyFigures(&record, &known.figures, entry, takenAt);
    const DWORD fromQuery = entry ? ClassOfBasePriority(entry->basePriority) : 0;
    if ((known.flags & RecordQueryPriority) && fromQuery) {
        record.priorityClass = fromQuery;
    } else if (!entry || ReadsPriorityNow(known)) {
        HANDLE process = OpenProcessForQuery(known.id, PROCESS_QUERY_INFORMATION);
        record.priorityClass = process ? GetPriorityClass(process) : 0;
        if (process)
            CloseHandle(process);
    }
    return record;
}

// The record the table holds for the process now running under `id`, or null. A record whose
// process started at another time described an earlier process with the same identifier: the
// process is read afresh, and the merge replaces that record. An unknown time on either side
// counts as the same process.
const ProcessRecord *KnownRecord(DWORD id, ULONGLONG createTime)
{
    const ProcessRecord *known = FindProcessRecord(id, KindProcess);
    if (known && known->createTime && createTime && known->createTime != createTime)
        return nullptr;
    return known;
}

// Whether the list may take a record's name, path and parent over instead of reading them: not
// for a record without details, nor for one a module-usage filter hid.
bool TakesOver(const ProcessRecord *known)
{
    return known && known == FindKnownProcess(known->id, known->kind) &&
           !(known->flags & RecordNoDetails);
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
    context->reading->push_back(record);
    return FALSE; // go on
}

BOOL WINAPI OnWowMachine(DWORD processId, DWORD attributes, LPARAM user)
{
    if (g_ntApi.VDMEnumTaskWOWEx) {
        WowContext context = {reinterpret_cast<std::vector<ProcessRecord> *>(user), processId,
                              attributes};
        g_ntApi.VDMEnumTaskWOWEx(processId, OnWowTask, reinterpret_cast<LPARAM>(&context));
    }
    return FALSE; // go on
}

// The system totals of the snapshot, for the machine's figures.
void NoteSnapshotTotals(const ProcessSnapshot &snapshot)
{
    ProcessTotals totals = {};
    totals.known = totals.handlesKnown = !snapshot.entries.empty();
    totals.processes = snapshot.entries.size();
    for (const SysProcessEntry &entry : snapshot.entries) {
        totals.threads += entry.threadCount;
        totals.handles += entry.handleCount;
    }
    NoteProcessTotals(totals);
}

} // namespace

void NtReadProcesses(std::vector<ProcessRecord> *reading)
{
    DWORD count = 0;
    DWORD *ids = ReadProcessIds(&count);
    if (!ids)
        return;
    static ProcessSnapshot snapshot; // kept so a steady pass allocates nothing
    TakeProcessSnapshot(&snapshot);
    ++g_priorityRound;
    NoteSnapshotTotals(snapshot);
    for (DWORD i = 0; i < count; ++i) {
        const SysProcessEntry *entry = FindSnapshotEntry(snapshot, ids[i]);
        const ProcessRecord *known = KnownRecord(ids[i], entry ? entry->createTime : 0);
        // A record without details is read again until its process can be read: one met while
        // it was still starting would otherwise stay hidden for its whole life.
        if (TakesOver(known)) {
            reading->push_back(ReadKnownProcess(*known, entry, snapshot.takenAt));
            continue;
        }
        ProcessRecord record;
        ReadNewProcess(ids[i], entry, &record);
        ApplyFigures(&record, nullptr, entry, snapshot.takenAt);
        reading->push_back(record);
    }
    std::free(ids);

    // Tasks come after every process, so each finds its machine's record already in the table.
    if (g_ntApi.VDMEnumProcessWOW)
        g_ntApi.VDMEnumProcessWOW(OnWowMachine, reinterpret_cast<LPARAM>(reading));
}

HANDLE OpenProcessForQuery(DWORD id, DWORD access, bool *granted)
{
    const DWORD kLimitedQueryAccess = 0x1000; // PROCESS_QUERY_LIMITED_INFORMATION, Vista and later
    HANDLE process = OpenProcess(access, FALSE, id);
    if (granted)
        *granted = process != nullptr;
    if (!process && g_ntApi.QueryFullProcessImageNameA)
        process = OpenProcess(kLimitedQueryAccess, FALSE, id);
    return process;
}

BOOL NtEnumerateModules(DWORD processId, ModuleCallback callback, void *user)
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
        callback(user, name, reinterpret_cast<ULONG_PTR>(info.lpBaseOfDll), info.SizeOfImage,
                 path);
    }
    std::free(modules);
    CloseHandle(process);
    return TRUE;
}

bool NtProcessWiderThanProgram(DWORD processId)
{
    BOOL selfWow64 = FALSE, otherWow64 = TRUE;
    if (sizeof(void *) > 4 || !g_ntApi.IsWow64Process ||
        !g_ntApi.IsWow64Process(GetCurrentProcess(), &selfWow64) || !selfWow64)
        return false;
    HANDLE process = OpenProcessForQuery(processId, PROCESS_QUERY_INFORMATION);
    if (!process)
        return false;
    const BOOL read = g_ntApi.IsWow64Process(process, &otherWow64);
    CloseHandle(process);
    return read && !otherWow64;
}

BOOL NtListThreads(DWORD processId, ListLines *lines)
{
    return ListPerfThreads(processId, g_settings.hexProcessId, lines);
}

int NtTerminateWowTask(DWORD vdmProcessId, WORD task16)
{
    if (!g_ntApi.VDMTerminateTaskWOW)
        return 0;
    return g_ntApi.VDMTerminateTaskWOW(vdmProcessId, task16) ? 1 : 0;
}

void SeeSystemFolderAs32Bit(char *path, const char *windows)
{
    static const char k64[] = "\\SysWOW64\\", k32[] = "\\System32\\";
    static_assert(sizeof k64 == sizeof k32, "replaced in place");
    const size_t folder = std::strlen(windows);
    if (std::strlen(path) < folder + sizeof k64 - 1 || _strnicmp(path, windows, folder) != 0 ||
        _strnicmp(path + folder, k64, sizeof k64 - 1) != 0)
        return;
    std::memcpy(path + folder, k32, sizeof k32 - 1);
}

void NormaliseModulePath(HANDLE process, HMODULE module, char *buffer, DWORD size)
{
    if (!buffer || !size)
        return;
    const DWORD length = g_ntApi.GetModuleFileNameExA(process, module, buffer, size);
    buffer[length < size ? length : size - 1] = '\0';
    if (ProgramIsWow64()) {
        char windows[MAX_PATH];
        const UINT folder = GetWindowsDirectoryA(windows, sizeof windows);
        if (folder && folder < sizeof windows)
            SeeSystemFolderAs32Bit(buffer, windows);
    }

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
