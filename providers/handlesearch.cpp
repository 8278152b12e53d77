#include "providers/handlesearch.h"

#include <cstdlib>
#include <cstring>

#include <tlhelp32.h>

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

// Matches every module path of the process from one snapshot; false when none could be taken.
bool MatchModuleSnapshot(DWORD id, ProcessSearch *context)
{
    // ToolHelp32's module walk gives every path of a process in one snapshot, far cheaper than
    // asking PSAPI module by module (NT 4 has none).
    const ToolhelpApi &api = g_toolhelpApi;
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
