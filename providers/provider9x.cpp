// The Windows 9x provider. Everything comes from ToolHelp32 snapshots taken through
// g_toolhelpApi; every snapshot is closed before the operation that took it returns. A process
// that runs a 16-bit Windows program is named after the module name stored in that program's
// executable file.
#include "providers/provider9x.h"

#include <cinttypes>
#include <cstdint>
#include <cstdio>
#include <cstring>

#include "core/appstate.h"
#include "core/prioritynames.h"
#include "core/processtable.h"
#include "core/settings.h"
#include "providers/neheader.h"
#include "providers/systemsample.h"
#include "resource.h"

namespace {

// PROCESS_ALL_ACCESS as Windows 95 defines it; newer headers widen it.
const DWORD kProcessAllAccess = 0x1F0FFF;

// Addresses take as many hexadecimal digits as a pointer: 8 on the 32-bit build, 16 on 64-bit.
const int kAddressDigits = static_cast<int>(2 * sizeof(ULONG_PTR));

// Takes a snapshot and hands each of its entries to visit(entry) until visit returns false or
// the entries run out, then closes the snapshot. False when the snapshot could not be taken or
// its first entry could not be read.
template <typename Entry, typename Visit>
bool WalkSnapshot(DWORD kind, DWORD processId, BOOL(WINAPI *first)(HANDLE, Entry *),
                  BOOL(WINAPI *next)(HANDLE, Entry *), Visit visit)
{
    HANDLE snapshot = g_toolhelpApi.CreateToolhelp32Snapshot(kind, processId);
    if (snapshot == INVALID_HANDLE_VALUE || !snapshot)
        return false;
    Entry entry;
    std::memset(&entry, 0, sizeof entry);
    entry.dwSize = sizeof entry;
    const bool started = first(snapshot, &entry) != FALSE;
    for (bool more = started; more && visit(static_cast<const Entry &>(entry));)
        more = next(snapshot, &entry) != FALSE;
    CloseHandle(snapshot);
    return started;
}

// Hands each block of one heap to visit(block). Heap walks take no snapshot.
template <typename Visit> void WalkHeapBlocks(DWORD processId, ULONG_PTR heapId, Visit visit)
{
    HEAPENTRY32 block;
    std::memset(&block, 0, sizeof block);
    block.dwSize = sizeof block;
    for (BOOL more = g_toolhelpApi.Heap32First(&block, processId, heapId); more;
         more = g_toolhelpApi.Heap32Next(&block))
        visit(static_cast<const HEAPENTRY32 &>(block));
}

// Copies the module entry of the process's main module. Windows 9x names that module by the
// process entry's module id; ToolHelp of the NT family leaves the id 0 and lists the
// executable first.
bool FindProcessModule(DWORD processId, DWORD moduleId, MODULEENTRY32 *destination)
{
    bool found = false;
    WalkSnapshot(TH32CS_SNAPMODULE, processId, g_toolhelpApi.Module32First,
                 g_toolhelpApi.Module32Next, [&](const MODULEENTRY32 &module) {
                     if (moduleId != 0 && module.th32ModuleID != moduleId)
                         return true;
                     *destination = module;
                     found = true;
                     return false;
                 });
    return found;
}

// The module name stored in a 16-bit executable file; false for any other file, or one that
// cannot be opened or mapped.
bool ReadNeModuleName(const char *fileName, char *buffer, size_t size)
{
    HANDLE file = CreateFileA(fileName, GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                              OPEN_EXISTING, 0, nullptr);
    if (file == INVALID_HANDLE_VALUE)
        return false;
    bool found = false;
    DWORD sizeHigh = 0;
    const DWORD sizeLow = GetFileSize(file, &sizeHigh);
    // No 16-bit program comes near 4 GB; such a size also covers GetFileSize failing.
    HANDLE mapping = nullptr;
    if (sizeHigh == 0 && sizeLow != INVALID_FILE_SIZE)
        mapping = CreateFileMappingA(file, nullptr, PAGE_READONLY, 0, 0, nullptr);
    if (mapping) {
        const void *view = MapViewOfFile(mapping, FILE_MAP_READ, 0, 0, 0);
        if (view) {
            found = ReadNeModuleNameFromImage(view, sizeLow, buffer, size);
            UnmapViewOfFile(view);
        }
        CloseHandle(mapping);
    }
    CloseHandle(file);
    return found;
}

DWORD ReadPriorityClass(DWORD processId)
{
    HANDLE process = OpenProcess(kProcessAllAccess, FALSE, processId);
    if (!process)
        return 0;
    const DWORD priorityClass = GetPriorityClass(process);
    CloseHandle(process);
    return priorityClass;
}

// The snapshot gives the executable as a full path on Windows 9x and as a bare file name on the
// NT family; either way it is compared with the same part of the main module's path.
bool RunsMainModule(const char *exeFile, const char *modulePath)
{
    if (!FindLastChar(exeFile, '\\')) {
        const char *slash = FindLastChar(modulePath, '\\');
        if (slash)
            modulePath = slash + 1;
    }
    return lstrcmpiA(exeFile, modulePath) == 0;
}

// Name, path and kind of a process never change while its identifier lives, so a process the
// list already knows keeps them and costs no module snapshot.
const ProcessRecord *FindKnownOfEitherKind(DWORD id)
{
    const ProcessRecord *known = FindKnownProcess(id, KindProcess);
    return known ? known : FindKnownProcess(id, KindProcess16);
}

// Describes one process entry; false when its main module cannot be found.
bool DescribeProcess(const PROCESSENTRY32 &entry, ProcessRecord *record)
{
    std::memset(record, 0, sizeof *record);
    const ProcessRecord *known = FindKnownOfEitherKind(entry.th32ProcessID);
    if (known) {
        std::memcpy(record->name, known->name, sizeof record->name);
        std::memcpy(record->path, known->path, sizeof record->path);
        record->kind = known->kind;
    } else {
        MODULEENTRY32 module;
        std::memset(&module, 0, sizeof module);
        if (!FindProcessModule(entry.th32ProcessID, entry.th32ModuleID, &module))
            return false;
        const bool hasDirectory = FindLastChar(entry.szExeFile, '\\') != nullptr;
        lstrcpynA(record->path, hasDirectory ? entry.szExeFile : module.szExePath, MAX_PATH);
        record->kind = RunsMainModule(entry.szExeFile, module.szExePath) ? KindProcess
                                                                         : KindProcess16;
        const bool named16 = record->kind == KindProcess16 &&
                             ReadNeModuleName(entry.szExeFile, record->name, sizeof record->name);
        if (!named16)
            lstrcpynA(record->name, module.szModule, MAX_PATH);
    }
    record->id = entry.th32ProcessID;
    record->parentId = entry.th32ParentProcessID;
    record->threadCount = entry.cntThreads;
    record->basePriority = entry.pcPriClassBase;
    record->priorityClass = ReadPriorityClass(entry.th32ProcessID);
    return true;
}

} // namespace

BOOL W9xReadProcesses(std::vector<ProcessRecord> *reading)
{
    ProcessTotals totals = {};
    const bool walked = WalkSnapshot(
        TH32CS_SNAPPROCESS, 0, g_toolhelpApi.Process32First, g_toolhelpApi.Process32Next,
        [reading, &totals](const PROCESSENTRY32 &entry) {
            ++totals.processes;
            totals.threads += entry.cntThreads;
            ProcessRecord record;
            if (DescribeProcess(entry, &record))
                reading->push_back(record);
            return true;
        });
    totals.known = walked && totals.processes > 0;
    NoteProcessTotals(totals);
    return walked;
}

BOOL W9xListThreads(DWORD processId, ListLines *lines)
{
    const char *format = g_settings.hexProcessId ? "%08lx\t%ld %s" : "%08lu\t%ld %s";
    return WalkSnapshot(TH32CS_SNAPTHREAD, 0, g_toolhelpApi.Thread32First,
                        g_toolhelpApi.Thread32Next, [&](const THREADENTRY32 &thread) {
                            if (thread.th32OwnerProcessID == processId) {
                                char line[MAX_PATH + 32];
                                std::snprintf(line, sizeof line, format, thread.th32ThreadID,
                                              thread.tpBasePri + thread.tpDeltaPri,
                                              ThreadPriorityName(thread.tpDeltaPri));
                                lines->Add(line, thread.th32ThreadID);
                            }
                            return true;
                        });
}

BOOL W9xEnumerateModules(DWORD processId, ModuleCallback callback, void *user)
{
    return WalkSnapshot(TH32CS_SNAPMODULE, processId, g_toolhelpApi.Module32First,
                        g_toolhelpApi.Module32Next, [&](const MODULEENTRY32 &module) {
                            callback(user, module.szModule,
                                     reinterpret_cast<ULONG_PTR>(module.modBaseAddr),
                                     module.modBaseSize, module.szExePath);
                            return true;
                        });
}

void W9xListHeaps(DWORD processId, ListLines *lines)
{
    WalkSnapshot(TH32CS_SNAPHEAPLIST, processId, g_toolhelpApi.Heap32ListFirst,
                 g_toolhelpApi.Heap32ListNext, [&](const HEAPLIST32 &heap) {
                     SIZE_T total = 0;
                     SIZE_T freeBytes = 0;
                     WalkHeapBlocks(processId, heap.th32HeapID, [&](const HEAPENTRY32 &block) {
                         total += block.dwBlockSize;
                         if (block.dwFlags & LF32_FREE)
                             freeBytes += block.dwBlockSize;
                     });
                     char line[2 * MAX_PATH];
                     std::snprintf(line, sizeof line, "%0*" PRIxPTR "\t%8zu\t%8zu\t%8zu\t%s %s ",
                                   kAddressDigits, static_cast<uintptr_t>(heap.th32HeapID),
                                   static_cast<size_t>(total),
                                   static_cast<size_t>(total - freeBytes),
                                   static_cast<size_t>(freeBytes),
                                   (heap.dwFlags & HF32_DEFAULT) ? ResText(IDS_HEAP_DEFAULT) : "",
                                   (heap.dwFlags & HF32_SHARED) ? ResText(IDS_HEAP_SHARED) : "");
                     lines->Add(line, heap.th32HeapID);
                     return true;
                 });
}

void W9xListHeapBlocks(DWORD processId, ULONG_PTR heapId, ListLines *lines)
{
    WalkHeapBlocks(processId, heapId, [lines](const HEAPENTRY32 &block) {
        char line[128];
        std::snprintf(line, sizeof line, "%0*" PRIxPTR "\t%08zu\t%s", kAddressDigits,
                      static_cast<uintptr_t>(block.dwAddress),
                      static_cast<size_t>(block.dwBlockSize),
                      (block.dwFlags & LF32_FREE) ? ResText(IDS_HEAP_FREE) : "");
        lines->Add(line, block.dwAddress);
    });
}
