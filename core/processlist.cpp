#include "core/processlist.h"

#include <commctrl.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <unordered_map>

#include "core/appstate.h"
#include "core/columns.h"
#include "core/dpi.h"
#include "core/figurecells.h"
#include "core/prioritynames.h"
#include "core/rowfilter.h"
#include "core/settings.h"
#include "core/sysapi.h"
#include "core/textcells.h"
#include "resource.h"

HWND g_processList = nullptr;
ProcessRecord *g_recordHead = nullptr;
int g_sortColumn = 0;
int g_sortDirection = 1;

namespace {

int g_arrowColumn = -1;
HBITMAP g_arrowUp;   // ascending
HBITMAP g_arrowDown; // descending

// Common controls 6 (Windows XP and later, through the manifest) draw the header's sort arrow
// themselves, in the theme's look or the classic one; there a bitmap would show its face-coloured
// square on the lighter themed header. Older versions get the arrow bitmaps.
bool HeaderDrawsSortArrows()
{
    static int major = -1;
    if (major < 0) {
        HRESULT(CALLBACK *getVersion)(DllVersion *) = SysApi().ComctlDllGetVersion;
        DllVersion info = {sizeof info, 0, 0, 0, 0};
        major = getVersion && SUCCEEDED(getVersion(&info)) ? static_cast<int>(info.dwMajorVersion) : 0;
    }
    return major >= 6;
}

// Identity (id, kind) -> record, so that a refresh pass finds each process without walking the
// whole chain: the chain keeps the age order, the index keeps look-ups cheap on large machines.
std::unordered_map<unsigned long long, ProcessRecord *> g_recordIndex;

unsigned long long IdentityKey(DWORD id, DWORD kind)
{
    return (static_cast<unsigned long long>(kind) << 32) | id;
}

int CompareNumbers(DWORD a, DWORD b)
{
    return a > b ? 1 : (a < b ? -1 : 0);
}

ProcessRecord *ItemRecord(HWND list, int index)
{
    LVITEMA item = {};
    item.mask = LVIF_PARAM;
    item.iItem = index;
    if (!list || index < 0 || !SendMessageA(list, LVM_GETITEMA, 0, reinterpret_cast<LPARAM>(&item)))
        return nullptr;
    return reinterpret_cast<ProcessRecord *>(item.lParam);
}

// Marks columns 1..last of a row as supplied on demand, so they are redrawn from the record.
void AnnounceCells(HWND list, int index)
{
    LVITEMA item = {};
    item.pszText = LPSTR_TEXTCALLBACKA;
    for (int column = 1; column < g_columnCount; ++column) {
        item.iSubItem = column;
        SendMessageA(list, LVM_SETITEMTEXTA, index, reinterpret_cast<LPARAM>(&item));
    }
}

// False once a record's sort key changed in place without its row moving (a priority or thread
// count seen by a refresh); true again when the rows are sorted or the list is empty.
bool g_rowsSorted = true;

// Set when a pass changed figures that columns show; the list is repainted once at its end.
bool g_figuresRepaint = false;

// Refresh passes so far, and whether the running one started from an empty chain.
DWORD g_passNumber = 0;
bool g_firstFill = true;

// How long a new process stays highlighted: until both have passed.
const DWORD kNewPasses = 2;
const DWORD kNewMilliseconds = 2000;
const COLORREF kNewBackground = RGB(0xCC, 0xFF, 0xCC);

int CompareForInsertion(const ProcessRecord *record, HWND list, int row)
{
    const SortParams params = {kProcessListId, g_sortColumn, g_sortDirection};
    const ProcessRecord *other = ItemRecord(list, row);
    return other ? CompareRecords(reinterpret_cast<LPARAM>(record),
                                  reinterpret_cast<LPARAM>(other),
                                  reinterpret_cast<LPARAM>(&params))
                 : 0;
}

// The row before which a new record belongs: the first row, from the top, that sorts after it.
// While the rows are known to be sorted a binary search finds that same row with a logarithmic
// number of comparisons; once a row may stand out of order only the scan finds it.
int InsertionIndex(HWND list, const ProcessRecord *record)
{
    const int count = static_cast<int>(SendMessageA(list, LVM_GETITEMCOUNT, 0, 0));
    if (count == 0)
        g_rowsSorted = true;
    if (!g_rowsSorted) {
        int row = 0;
        while (row < count && CompareForInsertion(record, list, row) >= 0)
            ++row;
        return row;
    }
    int low = 0;
    int high = count;
    while (low < high) {
        const int middle = low + (high - low) / 2;
        if (CompareForInsertion(record, list, middle) < 0)
            high = middle;
        else
            low = middle + 1;
    }
    return low;
}

// Figures read best right-aligned, digits under digits; names and paths stay left-aligned.
// Widths are kept for a 96-dpi screen and shown scaled to the running one.
bool InsertListColumn(HWND list, int index, const ColumnEntry &entry, ColumnKind kind)
{
    LVCOLUMNA column = {};
    column.mask = LVCF_FMT | LVCF_WIDTH | LVCF_TEXT | LVCF_SUBITEM;
    column.fmt = IsFigureColumn(kind) ? LVCFMT_RIGHT : LVCFMT_LEFT;
    column.cx = ScaleFrom96(entry.width, g_screenDpi);
    column.pszText = const_cast<char *>(ResText(entry.stringId));
    column.iSubItem = index;
    return SendMessageA(list, LVM_INSERTCOLUMNA, index, reinterpret_cast<LPARAM>(&column)) >= 0;
}

void LinkRecord(ProcessRecord *record)
{
    record->prev = nullptr;
    record->next = g_recordHead;
    if (g_recordHead)
        g_recordHead->prev = record;
    g_recordHead = record;
    g_recordIndex[IdentityKey(record->id, record->kind)] = record;
}

int FindRowOf(HWND list, const ProcessRecord *record)
{
    LVFINDINFOA find = {};
    find.flags = LVFI_PARAM;
    find.lParam = reinterpret_cast<LPARAM>(record);
    return static_cast<int>(SendMessageA(list, LVM_FINDITEMA, static_cast<WPARAM>(-1),
                                         reinterpret_cast<LPARAM>(&find)));
}

// Whether a full read of a process describes the process of a kept record, not a later one that
// was given the same identifier.
bool SameProcess(const ProcessRecord &kept, const ProcessRecord &read)
{
    return kept.parentId == read.parentId && std::strcmp(kept.name, read.name) == 0 &&
           std::strcmp(kept.path, read.path) == 0;
}

// Gives a record its row, at its sorted place, when the text filter lets it through; 0 when the
// list refuses it.
int InsertRow(HWND list, ProcessRecord *record)
{
    if (!RecordPassesRowFilter(record)) {
        record->flags |= RecordFiltered;
        return 1;
    }
    record->flags &= ~RecordFiltered;
    LVITEMA item = {};
    item.mask = LVIF_TEXT | LVIF_PARAM | LVIF_STATE;
    item.iItem = InsertionIndex(list, record);
    item.pszText = LPSTR_TEXTCALLBACKA;
    item.lParam = reinterpret_cast<LPARAM>(record);
    const int index =
        static_cast<int>(SendMessageA(list, LVM_INSERTITEMA, 0, reinterpret_cast<LPARAM>(&item)));
    if (index < 0)
        return 0;
    AnnounceCells(list, index);
    return 1;
}

// A record without a row that gets one again: a process first met without details (still
// starting, or not yet readable) that now has them, or one back from a module-usage filter. The
// record takes what the pass read and keeps its place in the chain, so its age among the others
// does not change.
int ReviveRecord(HWND list, ProcessRecord *existing, const ProcessRecord *incoming)
{
    const ProcessRecord kept = *existing; // what the pass cannot bring
    *existing = *incoming;
    existing->next = kept.next;
    existing->prev = kept.prev;
    existing->texts = kept.texts;
    existing->flags = (existing->flags & ~RecordNew) | (kept.flags & RecordNew);
    existing->newSincePass = kept.newSincePass;
    existing->newSinceTick = kept.newSinceTick;
    existing->name[MAX_PATH - 1] = '\0';
    existing->path[MAX_PATH - 1] = '\0';
    existing->flags |= RecordSeen;
    return (existing->flags & RecordNoDetails) ? 1 : InsertRow(list, existing);
}

// The columns, a bit per index, whose figure texts differ between what a record shows and what a
// pass read.
unsigned ChangedFigureCells(const ProcessRecord &shown, const ProcessRecord &read)
{
    unsigned cells = 0;
    for (int column = 0; column < g_columnCount && column < 32; ++column)
        if (IsFigureColumn(g_columnKinds[column]) &&
            FigureTextsDiffer(g_columnKinds[column], shown, read))
            cells |= 1u << column;
    return cells;
}

// Whether every row sorts no earlier than the one above it.
bool RowsInOrder(HWND list)
{
    const int count = static_cast<int>(SendMessageA(list, LVM_GETITEMCOUNT, 0, 0));
    for (int row = 1; row < count; ++row)
        if (CompareForInsertion(ItemRecord(list, row), list, row - 1) < 0)
            return false;
    return true;
}

// Marks the cells of the visible rows whose texts changed for repainting, and only those: a pass
// over an idle machine changes few of them.
void InvalidateChangedCells(HWND list)
{
    const int top = static_cast<int>(SendMessageA(list, LVM_GETTOPINDEX, 0, 0));
    const int end = top + static_cast<int>(SendMessageA(list, LVM_GETCOUNTPERPAGE, 0, 0)) + 1;
    for (int row = top; row < end; ++row) {
        const ProcessRecord *record = ItemRecord(list, row);
        for (int column = 0; record && column < g_columnCount && column < 32; ++column) {
            RECT cell = {};
            cell.top = column;
            cell.left = LVIR_BOUNDS;
            if ((record->changedCells & (1u << column)) &&
                SendMessageA(list, LVM_GETSUBITEMRECT, row, reinterpret_cast<LPARAM>(&cell)))
                InvalidateRect(list, &cell, FALSE);
        }
    }
}

} // namespace

HWND CreateProcessList(HWND parent, DWORD style, DWORD exStyle, const ColumnEntry *columns,
                       int columnCount, int controlId)
{
    InitCommonControls();
    RECT client;
    GetClientRect(parent, &client);
    HWND list = CreateWindowExA(exStyle, WC_LISTVIEWA, "", style, client.left, client.top,
                                client.right, client.bottom, parent,
                                reinterpret_cast<HMENU>(static_cast<INT_PTR>(controlId)),
                                g_instance, nullptr);
    if (!list)
        return nullptr;
    for (int i = 0; i < columnCount; ++i) {
        const ColumnKind kind = columns == g_columns ? g_columnKinds[i] : ColumnName;
        if (!InsertListColumn(list, i, columns[i], kind)) {
            DestroyWindow(list);
            return nullptr;
        }
    }
    return list;
}

ProcessRecord *FindProcessRecord(DWORD id, DWORD kind)
{
    auto found = g_recordIndex.find(IdentityKey(id, kind));
    return found == g_recordIndex.end() ? nullptr : found->second;
}

const ProcessRecord *FindKnownProcess(DWORD id, DWORD kind)
{
    const ProcessRecord *record = FindProcessRecord(id, kind);
    return record && !(record->flags & RecordExcluded) ? record : nullptr;
}

int AddOrUpdateProcess(HWND list, const ProcessRecord *incoming)
{
    ProcessRecord *existing = FindProcessRecord(incoming->id, incoming->kind);
    if (existing && (existing->flags & RecordExcluded)) {
        if (SameProcess(*existing, *incoming))
            return ReviveRecord(list, existing, incoming);
        FreeRecord(existing); // its identifier now names another process
        existing = nullptr;
    }
    if (existing && (existing->flags & RecordNoDetails) && !(incoming->flags & RecordNoDetails))
        return ReviveRecord(list, existing, incoming);
    if (existing) {
        existing->flags |= RecordSeen;
        if (existing->flags & RecordNoDetails)
            return 1;
        // The figures are kept even while no column shows them: the next pass's CPU share is
        // counted from them.
        const bool changed = existing->priorityClass != incoming->priorityClass ||
                             (existing->threadCount != incoming->threadCount && !IsNt);
        const bool sortKeyChanged =
            IsFigureColumn(g_columnKinds[g_sortColumn]) &&
            CompareFigures(g_columnKinds[g_sortColumn], *existing, *incoming) != 0;
        existing->changedCells = ChangedFigureCells(*existing, *incoming);
        existing->priorityClass = incoming->priorityClass;
        existing->threadCount = incoming->threadCount;
        existing->figures = incoming->figures;
        // The row stays where it is, so the rows may no longer be in order.
        if (changed || sortKeyChanged)
            g_rowsSorted = false;
        if (changed) {
            const int index = FindRowOf(list, existing);
            if (index >= 0)
                AnnounceCells(list, index);
        } else if (existing->changedCells) {
            // Figures change on most rows in every pass: rather than look each row up, the
            // visible rows' changed cells are repainted once after the pass.
            g_figuresRepaint = true;
        }
        return 1;
    }

    ProcessRecord *record = static_cast<ProcessRecord *>(std::malloc(sizeof(ProcessRecord)));
    if (!record)
        return 0;
    *record = *incoming;
    record->name[MAX_PATH - 1] = '\0';
    record->path[MAX_PATH - 1] = '\0';
    record->changedCells = 0;
    record->texts = RecordTexts(); // read for the record itself, when first shown
    LinkRecord(record);
    record->flags = (record->flags & ~RecordNew) | RecordSeen | (g_firstFill ? 0u : static_cast<DWORD>(RecordNew));
    record->newSincePass = g_passNumber;
    record->newSinceTick = GetTickCount();
    if (record->flags & RecordNoDetails)
        return 1;
    return InsertRow(list, record);
}

void BeginRefreshPass()
{
    ++g_passNumber;
    g_firstFill = g_recordHead == nullptr;
}

void EndNewHighlights(HWND list)
{
    const DWORD now = GetTickCount();
    for (ProcessRecord *record = g_recordHead; record; record = record->next) {
        if (!(record->flags & RecordNew) || g_passNumber - record->newSincePass < kNewPasses ||
            now - record->newSinceTick < kNewMilliseconds)
            continue;
        record->flags &= ~RecordNew;
        const int row = FindRowOf(list, record);
        if (row >= 0)
            SendMessageA(list, LVM_REDRAWITEMS, row, row);
    }
}

void RepaintChangedFigures(HWND list)
{
    if (!g_rowsSorted && IsFigureColumn(g_columnKinds[g_sortColumn])) {
        g_rowsSorted = RowsInOrder(list);
        if (!g_rowsSorted) {
            // Rows sorted by a figure follow it. The list keeps the selection and the scroll
            // position, and repaints itself.
            SortParams params = {kProcessListId, g_sortColumn, g_sortDirection};
            g_rowsSorted = SendMessageA(list, LVM_SORTITEMS, reinterpret_cast<WPARAM>(&params),
                                        reinterpret_cast<LPARAM>(CompareRecords)) != 0;
            g_figuresRepaint = false;
        }
    }
    if (g_figuresRepaint)
        InvalidateChangedCells(list);
    g_figuresRepaint = false;
}

void ForgetProcess(HWND list, ProcessRecord *record)
{
    const DWORD id = record->id, kind = record->kind;
    const int index = FindRowOf(list, record);
    if (index >= 0)
        SendMessageA(list, LVM_DELETEITEM, index, 0); // its owner frees the record (OnDeleteItem)
    if (FindProcessRecord(id, kind) == record)
        FreeRecord(record); // no row, or an owner that does not free on deletion
}

ProcessRecord *RecordAt(int index)
{
    return ItemRecord(g_processList, index);
}

ProcessRecord *SelectedRecord()
{
    if (!g_processList)
        return nullptr;
    return RecordAt(static_cast<int>(
        SendMessageA(g_processList, LVM_GETNEXTITEM, static_cast<WPARAM>(-1), LVNI_SELECTED)));
}

DWORD GetSelectedProcess(HWND list, char *buffer, int length)
{
    if (!list)
        return 0;
    const int index = static_cast<int>(
        SendMessageA(list, LVM_GETNEXTITEM, static_cast<WPARAM>(-1), LVNI_SELECTED));
    ProcessRecord *record = ItemRecord(list, index);
    if (!record)
        return 0;
    if (buffer && length != 0) {
        const char *source = length > 0 ? record->path : record->name;
        int room = length > 0 ? length : -length;
        if (room > MAX_PATH)
            room = MAX_PATH;
        lstrcpynA(buffer, source, room);
    }
    return record->id;
}

int CompareText(const char *a, const char *b)
{
    return CompareStringA(LOCALE_USER_DEFAULT,
                          NORM_IGNORECASE | NORM_IGNOREKANATYPE | NORM_IGNOREWIDTH, a, -1, b,
                          -1) -
           2;
}

int CALLBACK CompareRecords(LPARAM first, LPARAM second, LPARAM paramsValue)
{
    const SortParams *params = reinterpret_cast<const SortParams *>(paramsValue);
    ProcessRecord *a = reinterpret_cast<ProcessRecord *>(first); // a text read fills it in
    ProcessRecord *b = reinterpret_cast<ProcessRecord *>(second);
    if (!params || params->controlId != kProcessListId || params->column < 0 ||
        params->column >= g_columnCount || !a || !b)
        return 0;

    // A 16-bit task sorts beside its virtual DOS machine, unless both are tasks of the same one.
    if ((a->kind == KindTask16 || b->kind == KindTask16) &&
        !(a->kind == KindTask16 && b->kind == KindTask16 && a->parentId == b->parentId)) {
        if (a->kind == KindTask16)
            a = FindProcessRecord(a->parentId, KindProcess);
        if (b->kind == KindTask16)
            b = FindProcessRecord(b->parentId, KindProcess);
        if (!a || !b)
            return 0;
    }

    const ColumnKind kind = g_columnKinds[params->column];
    if (IsFigureColumn(kind) || IsTextColumn(kind)) {
        int result = IsFigureColumn(kind) ? CompareFigures(kind, *a, *b)
                                          : CompareTextCells(kind, *a, *b);
        if (!result)
            result = CompareText(a->name, b->name);
        return params->direction < 0 ? -result : result;
    }
    int result = 0;
    switch (kind) {
    case ColumnName:
        result = CompareText(a->name, b->name);
        if (!result)
            result = CompareNumbers(a->id, b->id);
        break;
    case ColumnId:
        result = CompareNumbers(a->id, b->id);
        break;
    case ColumnPriority:
        result = CompareNumbers(a->priorityClass, b->priorityClass);
        if (!result)
            result = CompareText(a->name, b->name);
        break;
    case ColumnThreads:
        result = CompareNumbers(a->threadCount, b->threadCount);
        if (!result)
            result = CompareText(a->name, b->name);
        break;
    case ColumnType:
        result = CompareNumbers(a->kind, b->kind);
        if (!result)
            result = CompareText(a->name, b->name);
        break;
    case ColumnPath:
        result = CompareText(a->path, b->path);
        if (!result)
            result = CompareNumbers(a->id, b->id);
        break;
    default: // the figure and text columns, ordered above
        break;
    }
    return params->direction < 0 ? -result : result;
}

const char *CellText(ProcessRecord *record, int column)
{
    static char text[MAX_PATH];
    if (!record || column < 0 || column >= g_columnCount)
        return "";
    const ColumnKind kind = g_columnKinds[column];
    if (IsFigureColumn(kind)) {
        FormatFigureCell(kind, *record, text, sizeof text);
        return text;
    }
    if (IsTextColumn(kind))
        return TextCell(kind, *record);
    switch (kind) {
    case ColumnName:
        return record->name;
    case ColumnPath:
        return record->path;
    case ColumnId: {
        const bool hex = g_settings.hexProcessId;
        const char *format = record->kind == KindTask16 ? (hex ? "(%x)" : "(%u)") : (hex ? "%x" : "%u");
        std::snprintf(text, sizeof text, format, static_cast<unsigned>(record->id));
        break;
    }
    case ColumnPriority: {
        const char *name = PriorityClassName(record->priorityClass);
        if (!*name && record->basePriority == 0)
            std::strcpy(text, "-");
        else if (IsNt)
            std::snprintf(text, sizeof text, "%s", name);
        else
            std::snprintf(text, sizeof text, "%d  (%s)", static_cast<int>(record->basePriority), name);
        break;
    }
    case ColumnThreads:
        std::snprintf(text, sizeof text, "%d", static_cast<int>(record->threadCount));
        break;
    case ColumnType:
        std::snprintf(text, sizeof text, "%d-Bit", record->kind != KindProcess ? 16 : 32);
        break;
    default: // the figure and text columns, given above
        text[0] = '\0';
        break;
    }
    return text;
}

LRESULT GetCellText(NMHDR *header)
{
    NMLVDISPINFOA *info = reinterpret_cast<NMLVDISPINFOA *>(header);
    const int column = info->item.iSubItem;
    ProcessRecord *record = reinterpret_cast<ProcessRecord *>(info->item.lParam);
    if (header->idFrom != static_cast<UINT_PTR>(kProcessListId) || column < 0 ||
        column >= g_columnCount || !record || !(info->item.mask & LVIF_TEXT))
        return 0;
    // The list only reads the text; record texts are handed over as they are.
    info->item.pszText = const_cast<char *>(CellText(record, column));
    return 0;
}

LRESULT SortByColumn(NMHDR *header)
{
    NMLISTVIEW *view = reinterpret_cast<NMLISTVIEW *>(header);
    const int column = view->iSubItem;
    // Figures read largest first on the first click; the other columns from the start.
    const bool figure =
        column >= 0 && column < g_columnCount && IsFigureColumn(g_columnKinds[column]);
    g_sortDirection = column == g_sortColumn ? -g_sortDirection : (figure ? -1 : 1);
    g_sortColumn = column;
    SortParams params = {static_cast<int>(header->idFrom), column, g_sortDirection};
    g_rowsSorted = SendMessageA(header->hwndFrom, LVM_SORTITEMS, reinterpret_cast<WPARAM>(&params),
                                reinterpret_cast<LPARAM>(CompareRecords)) != 0;
    UpdateSortArrow(header->hwndFrom, false);
    return 0;
}

namespace {

// The header arrows, drawn for 100%, 150% and 200%: ascending and descending of each size.
struct ArrowImages {
    int size;
    UINT up, down;
};
const ArrowImages kArrowImages[] = {
    {16, IDB_SORTUP, IDB_SORTDOWN},
    {24, IDB_SORTUP24, IDB_SORTDOWN24},
    {32, IDB_SORTUP32, IDB_SORTDOWN32},
};
const int kArrowSizes[] = {16, 24, 32};

// A header arrow in the current system colours, of the size the running DPI needs.
HBITMAP LoadArrow(bool up)
{
    const int size = NearestImageSize(kArrowSizes, 3, ScaleFrom96(16, g_screenDpi));
    for (const ArrowImages &images : kArrowImages)
        if (images.size == size)
            return static_cast<HBITMAP>(LoadImageA(g_instance,
                                                   MAKEINTRESOURCEA(up ? images.up : images.down),
                                                   IMAGE_BITMAP, size, size, LR_LOADMAP3DCOLORS));
    return nullptr;
}

// Sets a header item's format and bitmap, keeping the alignment its column was given.
void SetHeaderArrow(HWND headerControl, int index, int format, HBITMAP bitmap)
{
    HDITEMA item = {};
    item.mask = HDI_FORMAT;
    SendMessageA(headerControl, HDM_GETITEMA, index, reinterpret_cast<LPARAM>(&item));
    item.mask = HDI_FORMAT | HDI_BITMAP;
    item.fmt = (item.fmt & HDF_JUSTIFYMASK) | format;
    item.hbm = bitmap;
    SendMessageA(headerControl, HDM_SETITEMA, index, reinterpret_cast<LPARAM>(&item));
}

} // namespace

void UpdateSortArrow(HWND list, bool reloadBitmaps)
{
    const bool drawn = HeaderDrawsSortArrows();
    HBITMAP oldUp = nullptr, oldDown = nullptr;
    if (!drawn && (reloadBitmaps || !g_arrowUp)) {
        oldUp = g_arrowUp;
        oldDown = g_arrowDown;
        g_arrowUp = LoadArrow(true);
        g_arrowDown = LoadArrow(false);
    }
    HWND headerControl = reinterpret_cast<HWND>(SendMessageA(list, LVM_GETHEADER, 0, 0));
    if (g_arrowColumn >= 0 && g_arrowColumn != g_sortColumn)
        SetHeaderArrow(headerControl, g_arrowColumn, HDF_STRING, nullptr);
    g_arrowColumn = g_sortColumn;
    if (drawn)
        SetHeaderArrow(headerControl, g_arrowColumn,
                       HDF_STRING | (g_sortDirection >= 0 ? HDF_SORTUP : HDF_SORTDOWN), nullptr);
    else
        SetHeaderArrow(headerControl, g_arrowColumn, HDF_STRING | HDF_BITMAP | HDF_BITMAP_ON_RIGHT,
                       g_sortDirection >= 0 ? g_arrowUp : g_arrowDown);
    if (oldUp)
        DeleteObject(oldUp);
    if (oldDown)
        DeleteObject(oldDown);
}

void ShowExtraColumns(HWND list, unsigned mask)
{
    CaptureColumnWidths(list);
    const ColumnKind sortKind = g_columnKinds[g_sortColumn];
    SetExtraColumns(mask);

    // Every column but Name is put in again from the new set, and every row's cells with it.
    const int shown = static_cast<int>(SendMessageA(
        reinterpret_cast<HWND>(SendMessageA(list, LVM_GETHEADER, 0, 0)), HDM_GETITEMCOUNT, 0, 0));
    for (int column = shown - 1; column > 0; --column)
        SendMessageA(list, LVM_DELETECOLUMN, column, 0);
    for (int i = 1; i < g_columnCount; ++i)
        InsertListColumn(list, i, g_columns[i], g_columnKinds[i]);
    const int rows = static_cast<int>(SendMessageA(list, LVM_GETITEMCOUNT, 0, 0));
    for (int row = 0; row < rows; ++row)
        AnnounceCells(list, row);

    const int sortColumn = FindColumn(sortKind);
    if (sortColumn < 0) {
        g_sortColumn = 0;
        g_sortDirection = 1;
    } else {
        g_sortColumn = sortColumn;
    }
    g_arrowColumn = -1; // the header items it marked are gone
    SortParams params = {kProcessListId, g_sortColumn, g_sortDirection};
    g_rowsSorted = SendMessageA(list, LVM_SORTITEMS, reinterpret_cast<WPARAM>(&params),
                                reinterpret_cast<LPARAM>(CompareRecords)) != 0;
    UpdateSortArrow(list, false);
}

void HideRow(HWND list, int index)
{
    LVITEMA item = {};
    item.mask = LVIF_PARAM;
    item.iItem = index;
    item.lParam = 0; // the deletion then frees nothing
    SendMessageA(list, LVM_SETITEMA, 0, reinterpret_cast<LPARAM>(&item));
    SendMessageA(list, LVM_DELETEITEM, index, 0);
}

void ApplyRowFilter(HWND list)
{
    const int count = static_cast<int>(SendMessageA(list, LVM_GETITEMCOUNT, 0, 0));
    for (int row = count - 1; row >= 0; --row) {
        ProcessRecord *record = ItemRecord(list, row);
        if (record && !RecordPassesRowFilter(record)) {
            record->flags |= RecordFiltered;
            HideRow(list, row);
        }
    }
    for (ProcessRecord *record = g_recordHead; record; record = record->next)
        if ((record->flags & (RecordFiltered | RecordExcluded | RecordNoDetails)) == RecordFiltered)
            InsertRow(list, record);
}

int CountFilterableRecords()
{
    int count = 0;
    for (const ProcessRecord *record = g_recordHead; record; record = record->next)
        if (!(record->flags & (RecordExcluded | RecordNoDetails)))
            ++count;
    return count;
}

void FreeRecord(ProcessRecord *record)
{
    if (!record)
        return;
    auto found = g_recordIndex.find(IdentityKey(record->id, record->kind));
    if (found != g_recordIndex.end() && found->second == record)
        g_recordIndex.erase(found);
    if (record->prev)
        record->prev->next = record->next;
    else if (g_recordHead == record)
        g_recordHead = record->next;
    if (record->next)
        record->next->prev = record->prev;
    FreeRecordTexts(record);
    std::free(record);
}

LRESULT OnDeleteItem(NMHDR *header)
{
    NMLISTVIEW *view = reinterpret_cast<NMLISTVIEW *>(header);
    FreeRecord(ItemRecord(header->hwndFrom, view->iItem));
    return 0;
}

namespace {

// In high-contrast mode the system's colours are the user's choice, and nothing is tinted.
bool HighContrast()
{
    HIGHCONTRASTA contrast = {};
    contrast.cbSize = sizeof contrast;
    return SystemParametersInfoA(SPI_GETHIGHCONTRAST, sizeof contrast, &contrast, 0) &&
           (contrast.dwFlags & HCF_HIGHCONTRASTON);
}

// New processes' rows on a light green background; every other row as the list draws it.
LRESULT DrawRow(NMHDR *header)
{
    NMLVCUSTOMDRAW *draw = reinterpret_cast<NMLVCUSTOMDRAW *>(header);
    switch (draw->nmcd.dwDrawStage) {
    case CDDS_PREPAINT:
        return g_settings.highlightNew && !HighContrast() ? CDRF_NOTIFYITEMDRAW : CDRF_DODEFAULT;
    case CDDS_ITEMPREPAINT: {
        const ProcessRecord *record = reinterpret_cast<const ProcessRecord *>(draw->nmcd.lItemlParam);
        if (!record || !(record->flags & RecordNew))
            return CDRF_DODEFAULT;
        draw->clrTextBk = kNewBackground;
        draw->clrText = RGB(0, 0, 0);
        return CDRF_NEWFONT;
    }
    default:
        return CDRF_DODEFAULT;
    }
}

} // namespace

bool AnswerListNotify(NMHDR *header, LRESULT *result)
{
    if (header->code == static_cast<UINT>(NM_CUSTOMDRAW) &&
        header->idFrom == static_cast<UINT_PTR>(kProcessListId)) {
        *result = DrawRow(header);
        return true;
    }
    switch (header->code) {
    case LVN_GETDISPINFOA:
        *result = GetCellText(header);
        return true;
    case LVN_COLUMNCLICK:
        *result = SortByColumn(header);
        return true;
    case LVN_DELETEITEM:
        *result = OnDeleteItem(header);
        return true;
    default:
        return false;
    }
}
