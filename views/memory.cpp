#include "views/memory.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "core/appstate.h"
#include "core/dialoghost.h"
#include "core/settings.h"
#include "providers/fill.h"
#include "resource.h"
#include "views/address.h"

namespace {

// A value and the string that names it.
struct NameRow {
    DWORD value;
    UINT stringId;
};

const NameRow kProtectionNames[] = {
    {PAGE_NOACCESS, IDS_PROT_NOACCESS},
    {PAGE_READONLY, IDS_PROT_READONLY},
    {PAGE_READWRITE, IDS_PROT_READWRITE},
    {PAGE_WRITECOPY, IDS_PROT_WRITECOPY},
    {PAGE_EXECUTE, IDS_PROT_EXECUTE},
    {PAGE_EXECUTE_READ, IDS_PROT_EXECREAD},
    {PAGE_EXECUTE_READWRITE, IDS_PROT_EXECRDWR},
    {PAGE_EXECUTE_WRITECOPY, IDS_PROT_EXECWRCOPY},
    {PAGE_GUARD, IDS_PROT_GUARD},
    {PAGE_GUARD | PAGE_READONLY, IDS_PROT_ROGUARD},
    {PAGE_GUARD | PAGE_READWRITE, IDS_PROT_RWGUARD},
    {PAGE_NOCACHE, IDS_PROT_NOCACHE},
    {0, 0},
};

// Region states and types share one table.
const NameRow kStateTypeNames[] = {
    {MEM_COMMIT, IDS_MEM_COMMIT},
    {MEM_RESERVE, IDS_MEM_RESERVE},
    {MEM_DECOMMIT, IDS_MEM_DECOMMIT},
    {MEM_RELEASE, IDS_MEM_RELEASE},
    {MEM_FREE, IDS_MEM_FREE},
    {MEM_PRIVATE, IDS_MEM_PRIVATE},
    {MEM_MAPPED, IDS_MEM_MAPPED},
    {MEM_RESET, IDS_MEM_RESET},
    {MEM_TOP_DOWN, IDS_MEM_TOPDOWN},
    {MEM_IMAGE, IDS_MEM_IMAGE},
    {0, 0},
};

const int kMemoryTabs[] = {
#ifdef _WIN64 // 16-digit addresses and sizes beyond 4 GB need wider columns
    84, 168, 228, 300, 352, 408, 464,
#else
    48, 96, 156, 196, 256, 316, 376,
#endif
};

#ifdef _WIN64
#define REGION_SIZE_FORMAT "%15llu" // a free region of a 64-bit space runs to 15 digits
#else
#define REGION_SIZE_FORMAT "%10llu"
#endif

const int kNameScratch = 16;

// The name of `value`, or the value in hexadecimal within parentheses when no row has it
// exactly (combined flags, 0). `scratch` holds that fallback text.
const char *LookupName(const NameRow *table, DWORD value, char (&scratch)[kNameScratch])
{
    for (const NameRow *row = table; row->value; ++row)
        if (row->value == value)
            return ResText(row->stringId);
    std::snprintf(scratch, sizeof scratch, "(%lx)", static_cast<unsigned long>(value));
    return scratch;
}


const ModuleTallyEntry *FindModuleAt(const ModuleTally &tally, ULONG_PTR base)
{
    for (const ModuleTallyEntry *entry = tally.head; entry; entry = entry->next)
        if (entry->base == base)
            return entry;
    return nullptr;
}

char *CopyText(const char *text)
{
    const size_t length = std::strlen(text ? text : "");
    char *copy = static_cast<char *>(std::malloc(length + 1));
    if (copy)
        std::memcpy(copy, text ? text : "", length + 1);
    return copy;
}

// One line of the region list: base, allocation base and protection, size, state, protection,
// type and, for a region that a module occupies, the module's name.
void DescribeRegion(const MEMORY_BASIC_INFORMATION &region, const ModuleTally &tally, char *line,
                    size_t size)
{
    const bool free = region.State == MEM_FREE;
    char allocBase[24];
    std::snprintf(allocBase, sizeof allocBase, ADDRESS_FORMAT,
                  reinterpret_cast<ULONG_PTR>(region.AllocationBase));
    char allocProtect[kNameScratch], protect[kNameScratch], state[kNameScratch], type[kNameScratch];
    int length = std::snprintf(
        line, size, ADDRESS_FORMAT "\t%s\t%s\t" REGION_SIZE_FORMAT "\t%s\t%s\t%s",
        reinterpret_cast<ULONG_PTR>(region.BaseAddress),
        free ? ResText(IDS_NOT_APPLICABLE) : allocBase,
        free ? ResText(IDS_NOT_APPLICABLE) : LookupName(kProtectionNames, region.AllocationProtect, allocProtect),
        static_cast<unsigned long long>(region.RegionSize),
        LookupName(kStateTypeNames, region.State, state),
        free || region.State == MEM_RESERVE ? ResText(IDS_NOT_APPLICABLE)
                                            : LookupName(kProtectionNames, region.Protect, protect),
        free ? ResText(IDS_NOT_APPLICABLE) : LookupName(kStateTypeNames, region.Type, type));
    if (length < 0 || static_cast<size_t>(length) >= size)
        return;

    // Windows 9x loads modules into private memory; NT maps them as images.
    const DWORD moduleType = IsNt ? MEM_IMAGE : MEM_PRIVATE;
    if (free || region.Type != moduleType)
        return;
    const ModuleTallyEntry *module =
        FindModuleAt(tally, reinterpret_cast<ULONG_PTR>(region.AllocationBase));
    if (module)
        std::snprintf(line + length, size - length, "\t%s", module->name);
}

// Committed bytes by type. 64-bit counters: a 64-bit process easily commits more than 4 GB.
struct MemoryTotals {
    ULONGLONG privateBytes;
    ULONGLONG mappedBytes;
    ULONGLONG imageBytes;
};

void TallyRegion(const MEMORY_BASIC_INFORMATION &region, MemoryTotals *totals)
{
    if (region.State != MEM_COMMIT)
        return;
    switch (region.Type) {
    case MEM_PRIVATE:
        totals->privateBytes += region.RegionSize;
        break;
    case MEM_MAPPED:
        totals->mappedBytes += region.RegionSize;
        break;
    case MEM_IMAGE:
        totals->imageBytes += region.RegionSize;
        break;
    }
}

// Reads the address space of the process from address 0 to its top, adding one line per
// region to `list` when one is given (the list keeps its scroll position). False when the
// process could not be opened; the list is then empty.
bool WalkMemory(HWND list, DWORD processId, MemoryTotals *totals)
{
    *totals = MemoryTotals();
    int top = 0;
    if (list) {
        SendMessageA(list, WM_SETREDRAW, FALSE, 0);
        top = static_cast<int>(SendMessageA(list, LB_GETTOPINDEX, 0, 0));
        SendMessageA(list, LB_RESETCONTENT, 0, 0);
    }
    HANDLE process = OpenProcess(PROCESS_QUERY_INFORMATION, FALSE, processId);
    if (process) {
        ModuleTally tally = {};
        FillModuleList(processId, CountModule, &tally);
        ULONG_PTR address = 0;
        MEMORY_BASIC_INFORMATION region;
        while (VirtualQueryEx(process, reinterpret_cast<LPCVOID>(address), &region, sizeof region) ==
               sizeof region) {
            if (list) {
                char line[MAX_PATH];
                DescribeRegion(region, tally, line, sizeof line);
                SendMessageA(list, LB_ADDSTRING, 0, reinterpret_cast<LPARAM>(line));
            }
            TallyRegion(region, totals);
            const ULONG_PTR next = reinterpret_cast<ULONG_PTR>(region.BaseAddress) + region.RegionSize;
            if (next <= address) // wrapped past the top, or an empty region that would repeat
                break;
            address = next;
        }
        FreeModuleTally(&tally);
        CloseHandle(process);
    }
    // A 32-bit program sees a 64-bit process's address space only up to its own top: the view
    // says so rather than look complete.
    if (list && process && ProcessWiderThanProgram(processId)) {
        char *text = LoadResString(IDS_MEMORY_NEED_X64);
        if (text)
            SendMessageA(list, LB_ADDSTRING, 0, reinterpret_cast<LPARAM>(text));
        FreeResString(text);
    }
    if (list) {
        SendMessageA(list, LB_SETTOPINDEX, top, 0);
        SendMessageA(list, WM_SETREDRAW, TRUE, 0);
        InvalidateRect(list, nullptr, TRUE);
    }
    return process != nullptr;
}

ULONGLONG RoundUpToKilobytes(ULONGLONG bytes)
{
    return bytes / 1024 + (bytes % 1024 != 0);
}

// What the open view shows besides its lines: its state while it is open.
struct MemoryViewState {
    ULONGLONG shownKilobytes[3]; // private, mapped, image on the totals line
    int headerHeight;            // as the view opened
};

MemoryViewState *GetMemoryState(const DialogHost *host)
{
    return HostState<MemoryViewState>(host);
}

void InitMemoryView(DialogHost *host)
{
    RECT header = {};
    GetWindowRect(GetDlgItem(host->dialog, IDC_MEMORY_HEADER), &header);
    GetMemoryState(host)->headerHeight = header.bottom - header.top;
}

// Writes the totals line when `force` is set or a rounded figure differs from the one shown;
// true when it wrote.
bool ShowTotals(HWND dialog, MemoryViewState *state, const MemoryTotals &totals, bool force)
{
    const ULONGLONG kilobytes[3] = {RoundUpToKilobytes(totals.privateBytes),
                                    RoundUpToKilobytes(totals.mappedBytes),
                                    RoundUpToKilobytes(totals.imageBytes)};
    if (!force && std::memcmp(kilobytes, state->shownKilobytes, sizeof kilobytes) == 0)
        return false;
    std::memcpy(state->shownKilobytes, kilobytes, sizeof kilobytes);
    char scratch[3][kNameScratch];
    char text[MAX_PATH];
    std::snprintf(text, sizeof text, "%s: %llu K, %s: %llu K, %s: %llu K",
                  LookupName(kStateTypeNames, MEM_PRIVATE, scratch[0]), kilobytes[0],
                  LookupName(kStateTypeNames, MEM_MAPPED, scratch[1]), kilobytes[1],
                  LookupName(kStateTypeNames, MEM_IMAGE, scratch[2]), kilobytes[2]);
    SetDlgItemTextA(dialog, IDC_MEMORY_TOTALS, text);
    return true;
}

// First fill and F5: every region and fresh totals. A process that cannot be opened leaves
// the list empty and the totals line as it was.
void FillMemoryView(DialogHost *host)
{
    MemoryTotals totals;
    if (WalkMemory(host->list, CurrentProcessId(host), &totals))
        ShowTotals(host->dialog, GetMemoryState(host), totals, true);
}

// Timer tick: a walk that formats nothing, and the list rebuilt only when a rounded total moved.
// Once the process has ended there is nothing left to show.
void RefreshMemoryView(DialogHost *host)
{
    const DWORD processId = CurrentProcessId(host);
    MemoryTotals totals;
    if (!WalkMemory(nullptr, processId, &totals)) {
        if (SendMessageA(host->list, LB_GETCOUNT, 0, 0) > 0)
            WalkMemory(host->list, processId, &totals);
        return;
    }
    if (ShowTotals(host->dialog, GetMemoryState(host), totals, false))
        WalkMemory(host->list, processId, &totals);
}

// Once the list has followed the dialog, the totals line sits on the bottom edge and the header
// spans the width, both across the whole client area so their text stays in view.
void ResizeMemoryView(DialogHost *host, bool listResized)
{
    if (!listResized)
        return;
    HWND dialog = host->dialog;
    RECT client;
    GetClientRect(dialog, &client);
    HWND totals = GetDlgItem(dialog, IDC_MEMORY_TOTALS);
    RECT totalsRect;
    GetWindowRect(totals, &totalsRect);
    const int totalsHeight = totalsRect.bottom - totalsRect.top;
    SetWindowPos(totals, nullptr, 0, client.bottom - totalsHeight, client.right, totalsHeight,
                 SWP_NOZORDER);

    HWND header = GetDlgItem(dialog, IDC_MEMORY_HEADER);
    RECT headerRect;
    GetWindowRect(header, &headerRect);
    MapWindowPoints(nullptr, dialog, reinterpret_cast<POINT *>(&headerRect), 2);
    const int headerWidth = client.right - 2 * headerRect.left; // same margin on both sides
    if (headerWidth > 0)
        SetWindowPos(header, nullptr, 0, 0, headerWidth, GetMemoryState(host)->headerHeight,
                     SWP_NOMOVE | SWP_NOZORDER);
    // Moved into the area the growing dialog has yet to paint, the totals line would stay blank
    // behind it until something else repainted it; both lines are drawn again after it.
    InvalidateRect(totals, nullptr, TRUE);
    InvalidateRect(header, nullptr, TRUE);
}

const DialogSpec kMemoryView = {
    .listId = IDC_MEMORY_LIST,
    .headerId = IDC_MEMORY_HEADER,
    .headerString = IDS_HDR_MEMORY,
    .tabCount = static_cast<int>(sizeof kMemoryTabs / sizeof kMemoryTabs[0]),
    .tabs = kMemoryTabs,
    .refreshSeconds = &g_settings.memoryRefresh,
    .resizable = true,
    .setTitle = true,
    .init = InitMemoryView,
    .fill = FillMemoryView,
    .tick = RefreshMemoryView,
    .size = ResizeMemoryView,
};

} // namespace

void CountModule(void *user, const char *name, ULONG_PTR base, SIZE_T size, const char *path)
{
    ModuleTally *tally = static_cast<ModuleTally *>(user);
    if (!name)
        name = "";
    if (!path)
        path = "";
    for (ModuleTallyEntry *entry = tally->head; entry; entry = entry->next) {
        if (entry->base == base && lstrcmpiA(entry->path, path) == 0 &&
            lstrcmpiA(entry->name, name) == 0) {
            ++entry->count;
            return;
        }
    }
    ModuleTallyEntry *entry = static_cast<ModuleTallyEntry *>(std::malloc(sizeof *entry));
    if (!entry)
        return;
    entry->name = CopyText(name);
    entry->path = CopyText(path);
    if (!entry->name || !entry->path) {
        std::free(entry->name);
        std::free(entry->path);
        std::free(entry);
        return;
    }
    entry->base = base;
    entry->size = size;
    entry->count = 1;
    entry->next = tally->head;
    tally->head = entry;
}

void FreeModuleTally(ModuleTally *tally)
{
    while (tally->head) {
        ModuleTallyEntry *entry = tally->head;
        tally->head = entry->next;
        std::free(entry->name);
        std::free(entry->path);
        std::free(entry);
    }
}

LRESULT OnMemoryCommand(HWND, WPARAM, WORD, LPARAM)
{
    MemoryViewState state = {};
    OpenProcessView(IDD_MEMORY, ResText(IDS_TITLE_MEMORY), &kMemoryView, &state);
    return 0;
}
