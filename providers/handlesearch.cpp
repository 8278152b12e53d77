#include "providers/handlesearch.h"

#include <cstdlib>
#include <cstring>

#include <tlhelp32.h>

#include "core/appstate.h"
#include "core/exports.h"
#include "core/processtable.h"
#include "providers/fill.h"
#include "providers/provider.h"

namespace {

// Folds `text` to lower case in the code page's own way into `out` (`size` bytes).
void FoldInto(const char *text, char *out, size_t size)
{
    lstrcpynA(out, text, static_cast<int>(size));
    CharLowerBuffA(out, static_cast<DWORD>(std::strlen(out)));
}

struct ProcessSearch {
    DWORD id;
    const SearchText *search;
    SearchHitCallback callback;
    void *user;
};

void MatchHandle(void *context, const HandleInfo &info)
{
    const ProcessSearch &search = *static_cast<ProcessSearch *>(context);
    if (info.name[0] && MatchesSearch(*search.search, info.name))
        search.callback(search.user, {search.id, info.type, info.name});
}

void MatchModule(void *context, const char *, ULONG_PTR, SIZE_T, const char *path)
{
    const ProcessSearch &search = *static_cast<ProcessSearch *>(context);
    if (path && path[0] && MatchesSearch(*search.search, path))
        search.callback(search.user, {search.id, nullptr, path});
}

const DWORD kMostProcesses = 65536;

void ListNtTargets(std::vector<DWORD> *ids)
{
    if (!g_ntApi.EnumProcesses)
        return;
    for (DWORD capacity = 1024; capacity <= kMostProcesses; capacity *= 2) {
        std::vector<DWORD>(capacity).swap(*ids);
        DWORD returned = 0;
        if (!g_ntApi.EnumProcesses(ids->data(), capacity * sizeof(DWORD), &returned)) {
            ids->clear();
            return;
        }
        if (returned < capacity * sizeof(DWORD) || capacity == kMostProcesses) {
            ids->erase(ids->begin() + returned / sizeof(DWORD), ids->end());
            return;
        }
    }
}

// The 9x family's processes, with the names ToolHelp32 gives them.
void List9xTargets(std::vector<SearchTarget> *targets)
{
    const ToolhelpApi &api = g_toolhelpApi;
    if (!api.CreateToolhelp32Snapshot || !api.Process32First || !api.Process32Next)
        return;
    HANDLE snapshot = api.CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0);
    if (snapshot == INVALID_HANDLE_VALUE)
        return;
    PROCESSENTRY32 entry = {};
    entry.dwSize = sizeof entry;
    for (BOOL more = api.Process32First(snapshot, &entry); more;
         more = api.Process32Next(snapshot, &entry)) {
        SearchTarget target;
        target.id = entry.th32ProcessID;
        const char *slash = FindLastChar(entry.szExeFile, '\\');
        lstrcpynA(target.name, slash ? slash + 1 : entry.szExeFile, MAX_PATH);
        targets->push_back(target);
    }
    CloseHandle(snapshot);
}

// The module walk of ToolHelp32 gives every path of a process in one snapshot, far cheaper than
// asking PSAPI module by module; bound here for the NT family too (NT 4 has none).
struct ModuleWalkApi {
    CreateToolhelp32SnapshotFn CreateToolhelp32Snapshot;
    Module32Fn Module32First;
    Module32Fn Module32Next;
};
ModuleWalkApi g_moduleWalk;
const ExportSlot kModuleWalk[] = {
    {"CreateToolhelp32Snapshot", &g_moduleWalk.CreateToolhelp32Snapshot},
    {"Module32First", &g_moduleWalk.Module32First},
    {"Module32Next", &g_moduleWalk.Module32Next},
};
const ExportLibrary kModuleWalkLibraries[] = {
    Library("KERNEL32.DLL", kLoadedOnly, kOptional, kModuleWalk),
};

const ModuleWalkApi &ModuleWalk()
{
    static bool bound = false;
    if (!bound) {
        BindLibraries(g_systemExports, kModuleWalkLibraries);
        bound = true;
    }
    return g_moduleWalk;
}

// Matches every module path of the process from one snapshot; false when none could be taken.
bool MatchModuleSnapshot(DWORD id, ProcessSearch *context)
{
    const ModuleWalkApi &api = ModuleWalk();
    if (!api.CreateToolhelp32Snapshot || !api.Module32First || !api.Module32Next)
        return false;
    HANDLE snapshot = INVALID_HANDLE_VALUE;
    // A process that is loading or unloading a module makes the snapshot fail for a moment.
    for (int attempt = 0; attempt < 3 && snapshot == INVALID_HANDLE_VALUE; ++attempt) {
        snapshot = api.CreateToolhelp32Snapshot(TH32CS_SNAPMODULE | TH32CS_SNAPMODULE32, id);
        if (snapshot == INVALID_HANDLE_VALUE && GetLastError() != ERROR_BAD_LENGTH)
            break;
    }
    if (snapshot == INVALID_HANDLE_VALUE)
        return false;
    MODULEENTRY32 entry = {};
    entry.dwSize = sizeof entry;
    bool any = false;
    for (BOOL more = api.Module32First(snapshot, &entry); more;
         more = api.Module32Next(snapshot, &entry)) {
        entry.szExePath[MAX_PATH - 1] = '\0';
        MatchModule(context, nullptr, 0, 0, entry.szExePath);
        any = true;
    }
    CloseHandle(snapshot);
    return any;
}

} // namespace

void ListSearchTargets(std::vector<SearchTarget> *targets)
{
    targets->clear();
    if (IsNt) {
        std::vector<DWORD> ids;
        ListNtTargets(&ids);
        for (DWORD id : ids) {
            SearchTarget target = {id, ""};
            targets->push_back(target);
        }
    } else {
        List9xTargets(targets);
    }
    for (SearchTarget &target : *targets) {
        const ProcessRecord *known = FindKnownProcess(target.id, KindProcess);
        if (known && known->name[0])
            lstrcpynA(target.name, known->name, MAX_PATH);
    }
}

bool PrepareSearchText(const char *text, SearchText *search)
{
    search->length = text ? std::strlen(text) : 0;
    search->folded = nullptr;
    if (search->length == 0)
        return false;
    search->folded = static_cast<char *>(std::malloc(search->length + 1));
    if (!search->folded)
        return false;
    FoldInto(text, search->folded, search->length + 1);
    return true;
}

void FreeSearchText(SearchText *search)
{
    std::free(search->folded);
    search->folded = nullptr;
    search->length = 0;
}

bool MatchesSearch(const SearchText &search, const char *name)
{
    char folded[MAX_PATH * 2];
    if (!search.folded || std::strlen(name) < search.length)
        return false;
    FoldInto(name, folded, sizeof folded);
    return std::strstr(folded, search.folded) != nullptr;
}

unsigned SearchProcess(const HandleSnapshot *snapshot, DWORD id, const SearchText &search,
                       SearchHitCallback callback, void *user)
{
    ProcessSearch context = {id, &search, callback, user};
    unsigned notes = 0;
    if (snapshot && ReadProcessHandles(*snapshot, id, MatchHandle, &context) == HandlesDenied)
        notes |= SearchHandlesDenied;
    if (!MatchModuleSnapshot(id, &context) && !FillModuleList(id, MatchModule, &context) &&
        ProcessWiderThanProgram(id))
        notes |= SearchModulesTooWide;
    return notes;
}
