#include "core/processlist.h"

#include <commctrl.h>

#include <cstring>
#include <vector>

#include "core/appstate.h"
#include "core/columns.h"
#include "core/dpi.h"
#include "core/figurecells.h"
#include "core/processcells.h"
#include "core/settings.h"
#include "core/sysapi.h"
#include "core/textcells.h"
#include "core/textcompare.h"
#include "core/treeglyph.h"
#include "resource.h"

HWND g_processList = nullptr;

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

const COLORREF kNewBackground = RGB(0xCC, 0xFF, 0xCC);
const COLORREF kSuspendedBackground = RGB(0xE0, 0xE0, 0xE0);
const COLORREF kEndedBackground = RGB(0xFF, 0xCC, 0xCC);

// The tinted rows: the first whose mark a record has and whose option is on (or that has none)
// gives its background.
struct RowColour {
    DWORD flag;
    bool Settings::*option; // null: always
    COLORREF background;
};
const RowColour kRowColours[] = {
    {RecordEnded, &Settings::highlightEnded, kEndedBackground},
    {RecordNew, &Settings::highlightNew, kNewBackground},
    {RecordSuspendedAny, nullptr, kSuspendedBackground},
};

bool Tints(const RowColour &colour)
{
    return !colour.option || g_settings.*colour.option;
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

int ListCount(HWND list)
{
    return static_cast<int>(SendMessageA(list, LVM_GETITEMCOUNT, 0, 0));
}

int NextRow(HWND list, int after, UINT flags)
{
    return static_cast<int>(SendMessageA(list, LVM_GETNEXTITEM, static_cast<WPARAM>(after), flags));
}

void SetRowState(HWND list, int row, UINT state, UINT mask)
{
    LVITEMA item = {};
    item.state = state;
    item.stateMask = mask;
    SendMessageA(list, LVM_SETITEMSTATE, static_cast<WPARAM>(row), reinterpret_cast<LPARAM>(&item));
}

// What the list showed before the table's rows changed, by process: a row index would name
// another process afterwards. Records are read from the rows before they are arranged, so a
// forgotten one is already null here and simply not found again.
struct ListMemory {
    std::vector<const ProcessRecord *> selected;
    std::vector<int> selectedRows;
    const ProcessRecord *focused;
    const ProcessRecord *top;
    int topRow;
};

ListMemory RememberRows(HWND list)
{
    ListMemory memory = {};
    for (int row = NextRow(list, -1, LVNI_SELECTED); row >= 0;
         row = NextRow(list, row, LVNI_SELECTED)) {
        memory.selected.push_back(RecordAt(row));
        memory.selectedRows.push_back(row);
    }
    memory.focused = RecordAt(NextRow(list, -1, LVNI_FOCUSED));
    memory.topRow = static_cast<int>(SendMessageA(list, LVM_GETTOPINDEX, 0, 0));
    memory.top = RecordAt(memory.topRow);
    return memory;
}

// The selection and the focus follow their processes to their new rows.
void RestoreSelection(HWND list, const ListMemory &memory)
{
    std::vector<int> rows;
    for (const ProcessRecord *record : memory.selected) {
        const int row = RowOf(record);
        if (row >= 0)
            rows.push_back(row);
    }
    if (rows != memory.selectedRows) {
        SetRowState(list, -1, 0, LVIS_SELECTED);
        for (int row : rows)
            SetRowState(list, row, LVIS_SELECTED, LVIS_SELECTED);
    }
    const int focused = RowOf(memory.focused);
    if (focused != NextRow(list, -1, LVNI_FOCUSED)) {
        SetRowState(list, -1, 0, LVIS_FOCUSED);
        if (focused >= 0) {
            SetRowState(list, focused, LVIS_FOCUSED, LVIS_FOCUSED);
            SendMessageA(list, LVM_SETSELECTIONMARK, 0, focused);
        }
    }
}

// The row that was at the top stays there, when it is still shown.
void KeepTopRow(HWND list, const ListMemory &memory)
{
    const int top = RowOf(memory.top);
    const int now = static_cast<int>(SendMessageA(list, LVM_GETTOPINDEX, 0, 0));
    if (top < 0 || top == now || RowCount() == 0)
        return;
    RECT rect = {};
    rect.left = LVIR_BOUNDS;
    if (!SendMessageA(list, LVM_GETITEMRECT, 0, reinterpret_cast<LPARAM>(&rect)))
        return;
    SendMessageA(list, LVM_SCROLL, 0, (top - now) * (rect.bottom - rect.top));
}

// Marks the records whose rows are in view: a refresh pass reads what may change of them every
// time, and of the others by turns.
void MarkRowsOnScreen(HWND list)
{
    for (ProcessRecord *record = g_recordHead; record; record = record->next)
        record->flags &= ~RecordOnScreen;
    const int top = static_cast<int>(SendMessageA(list, LVM_GETTOPINDEX, 0, 0));
    const int end = top + static_cast<int>(SendMessageA(list, LVM_GETCOUNTPERPAGE, 0, 0)) + 1;
    for (int row = top; row < end; ++row)
        if (ProcessRecord *record = RecordAt(row))
            record->flags |= RecordOnScreen;
}

// Marks the cells of the visible rows whose texts changed for repainting, and only those: a pass
// over an idle machine changes few of them.
void InvalidateChangedCells(HWND list)
{
    const int top = static_cast<int>(SendMessageA(list, LVM_GETTOPINDEX, 0, 0));
    const int end = top + static_cast<int>(SendMessageA(list, LVM_GETCOUNTPERPAGE, 0, 0)) + 1;
    for (int row = top; row < end; ++row) {
        ProcessRecord *record = RecordAt(row);
        if (!record || !record->changedCells)
            continue;
        for (int column = 0; column < g_columnCount && column < 32; ++column) {
            RECT cell = {};
            cell.top = column;
            cell.left = LVIR_BOUNDS;
            if ((record->changedCells & (1u << column)) &&
                SendMessageA(list, LVM_GETSUBITEMRECT, row, reinterpret_cast<LPARAM>(&cell)))
                InvalidateRect(list, &cell, FALSE);
        }
        record->changedCells = 0;
    }
}

// In high-contrast mode the system's colours are the user's choice, and nothing is tinted.
bool HighContrast()
{
    HIGHCONTRASTA contrast = {};
    contrast.cbSize = sizeof contrast;
    return SystemParametersInfoA(SPI_GETHIGHCONTRAST, sizeof contrast, &contrast, 0) &&
           (contrast.dwFlags & HCF_HIGHCONTRASTON);
}

// Rows of new processes on light green, of ended ones on light red, of suspended ones on light
// grey; every other row as the list draws it.
LRESULT DrawRow(NMHDR *header)
{
    NMLVCUSTOMDRAW *draw = reinterpret_cast<NMLVCUSTOMDRAW *>(header);
    switch (draw->nmcd.dwDrawStage) {
    case CDDS_PREPAINT:
        return HighContrast() ? CDRF_DODEFAULT : CDRF_NOTIFYITEMDRAW;
    case CDDS_ITEMPREPAINT: {
        const ProcessRecord *record = RecordAt(static_cast<int>(draw->nmcd.dwItemSpec));
        if (!record)
            return CDRF_DODEFAULT;
        LRESULT result = TreeMode() && (record->flags & RecordHasChildren) ? CDRF_NOTIFYPOSTPAINT
                                                                           : CDRF_DODEFAULT;
        // A row shown only for a process below it reads in grey.
        if (TreeMode() && (record->flags & RecordTreeContext)) {
            draw->clrText = GetSysColor(COLOR_GRAYTEXT);
            result |= CDRF_NEWFONT;
        }
        for (const RowColour &colour : kRowColours) {
            if (!(record->flags & colour.flag) || !Tints(colour))
                continue;
            draw->clrTextBk = colour.background;
            if (!(record->flags & RecordTreeContext) || !TreeMode())
                draw->clrText = RGB(0, 0, 0);
            return result | CDRF_NEWFONT;
        }
        return result;
    }
    case CDDS_ITEMPOSTPAINT: {
        const int row = static_cast<int>(draw->nmcd.dwItemSpec);
        const ProcessRecord *record = RecordAt(row);
        RECT cell;
        if (record && (record->flags & RecordHasChildren) &&
            TreeGlyphCell(header->hwndFrom, row, &cell))
            DrawTreeGlyph(header->hwndFrom, draw->nmcd.hdc, cell,
                          !(record->flags & RecordCollapsed));
        return CDRF_DODEFAULT;
    }
    default:
        return CDRF_DODEFAULT;
    }
}

} // namespace

bool TreeGlyphCell(HWND list, int row, RECT *cell)
{
    // The image place is as wide as one level of the tree and, its images being a pixel high,
    // the row's height is the row's own.
    RECT bounds = {};
    bounds.left = LVIR_BOUNDS;
    cell->left = LVIR_ICON;
    if (!SendMessageA(list, LVM_GETITEMRECT, row, reinterpret_cast<LPARAM>(cell)) ||
        !SendMessageA(list, LVM_GETITEMRECT, row, reinterpret_cast<LPARAM>(&bounds)))
        return false;
    cell->top = bounds.top;
    cell->bottom = bounds.bottom;
    return true;
}

namespace {

// Whether the name starts with the typed letters, regardless of case.
bool NameStartsWith(const ProcessRecord *record, const char *typed, int length)
{
    return record && static_cast<int>(std::strlen(record->name)) >= length &&
           CompareStringA(LOCALE_USER_DEFAULT, NORM_IGNORECASE, record->name, length, typed,
                          length) == CSTR_EQUAL;
}

// The row, from `start` round to the top, whose name begins with `typed`; -1 for none.
int FindRowByName(const char *typed, int start)
{
    const int length = static_cast<int>(std::strlen(typed));
    const int count = RowCount();
    if (start < 0 || start >= count)
        start = 0;
    for (int step = 0; step < count && length > 0; ++step) {
        const int row = (start + step) % count;
        if (NameStartsWith(RecordAt(row), typed, length))
            return row;
    }
    return -1;
}

// Typing the first letters of a name moves to the next row whose name starts with them. The list
// asks in the program's code page, or (Wine's list view, whatever its owner) in Unicode.
LRESULT FindTypedRow(NMHDR *header)
{
    if (header->code == LVN_ODFINDITEMW) {
        const NMLVFINDITEMW *find = reinterpret_cast<const NMLVFINDITEMW *>(header);
        char typed[MAX_PATH];
        if (!(find->lvfi.flags & (LVFI_STRING | LVFI_PARTIAL)) || !find->lvfi.psz ||
            !WideCharToMultiByte(CP_ACP, 0, find->lvfi.psz, -1, typed, sizeof typed, nullptr,
                                 nullptr))
            return -1;
        return FindRowByName(typed, find->iStart);
    }
    const NMLVFINDITEMA *find = reinterpret_cast<const NMLVFINDITEMA *>(header);
    if (!(find->lvfi.flags & (LVFI_STRING | LVFI_PARTIAL)) || !find->lvfi.psz)
        return -1;
    return FindRowByName(find->lvfi.psz, find->iStart);
}

} // namespace

HWND CreateProcessList(HWND parent, DWORD style, DWORD exStyle, const ColumnEntry *columns,
                       int columnCount, int controlId)
{
    InitCommonControls();
    RECT client;
    GetClientRect(parent, &client);
    HWND list = CreateWindowExA(exStyle, WC_LISTVIEWA, "", style | LVS_OWNERDATA, client.left, client.top,
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

bool ShowRows(HWND list)
{
    if (!list)
        return true;
    const ListMemory memory = RememberRows(list);
    const bool moved = ArrangeRows();
    const int count = RowCount();
    if (moved || count != ListCount(list)) {
        SendMessageA(list, LVM_SETITEMCOUNT, count, LVSICF_NOSCROLL | LVSICF_NOINVALIDATEALL);
        RestoreSelection(list, memory);
        KeepTopRow(list, memory);
        InvalidateRect(list, nullptr, FALSE);
    } else {
        InvalidateChangedCells(list);
    }
    return NextRow(list, -1, LVNI_SELECTED) < 0;
}

bool RefreshProcessList(HWND list)
{
    MarkRowsOnScreen(list);
    RefreshProcessTable();
    return ShowRows(list);
}

void ForgetAllProcesses(HWND list)
{
    ForgetAllRecords();
    if (list) {
        SetRowState(list, -1, 0, LVIS_SELECTED | LVIS_FOCUSED);
        SendMessageA(list, LVM_SETITEMCOUNT, 0, 0);
    }
}

namespace {

// The focused row when it is selected, else the first selected one; -1 for none.
int ChosenRow(HWND list)
{
    const int focused = NextRow(list, -1, LVNI_FOCUSED);
    if (focused >= 0 && (SendMessageA(list, LVM_GETITEMSTATE, focused, LVIS_SELECTED) & LVIS_SELECTED))
        return focused;
    return NextRow(list, -1, LVNI_SELECTED);
}

} // namespace

ProcessRecord *SelectedRecord()
{
    if (!g_processList)
        return nullptr;
    return RecordAt(ChosenRow(g_processList));
}

std::vector<ProcessRecord *> SelectedRecords()
{
    std::vector<ProcessRecord *> records;
    if (!g_processList)
        return records;
    for (int row = NextRow(g_processList, -1, LVNI_SELECTED); row >= 0;
         row = NextRow(g_processList, row, LVNI_SELECTED))
        if (ProcessRecord *record = RecordAt(row))
            records.push_back(record);
    return records;
}

int SelectedCount()
{
    return g_processList ? static_cast<int>(SendMessageA(g_processList, LVM_GETSELECTEDCOUNT, 0, 0))
                         : 0;
}

void SelectAllRows(HWND list)
{
    SetRowState(list, -1, LVIS_SELECTED, LVIS_SELECTED);
}

bool SelectFirstRowIfNone(HWND list)
{
    if (!list || ListCount(list) == 0 || NextRow(list, -1, LVNI_SELECTED) >= 0)
        return false;
    SetRowState(list, -1, 0, LVIS_FOCUSED);
    SetRowState(list, 0, LVIS_SELECTED | LVIS_FOCUSED, LVIS_SELECTED | LVIS_FOCUSED);
    SendMessageA(list, LVM_SETSELECTIONMARK, 0, 0);
    SendMessageA(list, LVM_ENSUREVISIBLE, 0, FALSE);
    return true;
}

DWORD GetSelectedProcess(HWND list, char *buffer, int length)
{
    if (!list)
        return 0;
    ProcessRecord *record = RecordAt(ChosenRow(list));
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

LRESULT GetCellText(NMHDR *header)
{
    NMLVDISPINFOA *info = reinterpret_cast<NMLVDISPINFOA *>(header);
    const int column = info->item.iSubItem;
    ProcessRecord *record = RecordAt(info->item.iItem);
    if (header->idFrom != static_cast<UINT_PTR>(kProcessListId) || column < 0 ||
        column >= g_columnCount)
        return 0;
    // The list only reads the text; record texts are handed over as they are.
    if (info->item.mask & LVIF_TEXT)
        info->item.pszText = const_cast<char *>(record ? CellText(record, column) : "");
    // In the tree a row stands its depth in image places right of its parent's; the image
    // place itself holds the row's glyph, drawn after the row.
    if (info->item.mask & LVIF_INDENT)
        info->item.iIndent = record && TreeMode() && column == 0 ? record->depth : 0;
    if (info->item.mask & LVIF_IMAGE)
        info->item.iImage = 0;
    return 0;
}

LRESULT SortByColumn(NMHDR *header)
{
    NMLISTVIEW *view = reinterpret_cast<NMLISTVIEW *>(header);
    const int column = view->iSubItem;
    if (column < 0 || column >= g_columnCount)
        return 0;
    // Figures read largest first on the first click; the other columns from the start.
    const bool figure = IsFigureColumn(g_columnKinds[column]);
    g_sortDirection = column == g_sortColumn ? -g_sortDirection : (figure ? -1 : 1);
    g_sortColumn = column;
    RequestSort();
    ShowRows(header->hwndFrom);
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
    RefreshServiceTexts(FindColumn(ColumnServices) >= 0);

    // Every column but Name is put in again from the new set; the cells are asked for anew.
    const int shown = static_cast<int>(SendMessageA(
        reinterpret_cast<HWND>(SendMessageA(list, LVM_GETHEADER, 0, 0)), HDM_GETITEMCOUNT, 0, 0));
    for (int column = shown - 1; column > 0; --column)
        SendMessageA(list, LVM_DELETECOLUMN, column, 0);
    for (int i = 1; i < g_columnCount; ++i)
        InsertListColumn(list, i, g_columns[i], g_columnKinds[i]);

    const int sortColumn = FindColumn(sortKind);
    if (sortColumn < 0) {
        g_sortColumn = 0;
        g_sortDirection = 1;
    } else {
        g_sortColumn = sortColumn;
    }
    g_arrowColumn = -1; // the header items it marked are gone
    RequestSort();
    ShowRows(list);
    InvalidateRect(list, nullptr, TRUE);
    UpdateSortArrow(list, false);
}

void ApplyRowFilter(HWND list)
{
    RequestFilter();
    ShowRows(list);
}

bool AnswerListNotify(NMHDR *header, LRESULT *result)
{
    if (header->idFrom != static_cast<UINT_PTR>(kProcessListId))
        return false;
    switch (header->code) {
    case NM_CUSTOMDRAW:
        *result = DrawRow(header);
        return true;
    case LVN_GETDISPINFOA:
        *result = GetCellText(header);
        return true;
    case LVN_COLUMNCLICK:
        *result = SortByColumn(header);
        return true;
    case LVN_ODFINDITEMA:
    case LVN_ODFINDITEMW:
        *result = FindTypedRow(header);
        return true;
    default:
        return false;
    }
}

void ShowMainRows()
{
    ShowRows(g_processList);
}

void SetMainListRedraw(bool on)
{
    if (!g_processList)
        return;
    SendMessageA(g_processList, WM_SETREDRAW, on, 0);
    if (on)
        InvalidateRect(g_processList, nullptr, TRUE);
}

void RepaintMainList()
{
    if (g_processList)
        InvalidateRect(g_processList, nullptr, TRUE);
}

void ShowMainExtraColumns(unsigned mask)
{
    if (g_processList)
        ShowExtraColumns(g_processList, mask);
    else
        SetExtraColumns(mask);
}

void CaptureMainListWidths()
{
    if (g_processList)
        CaptureColumnWidths(g_processList);
}

HFONT MainListFont()
{
    return g_processList ? reinterpret_cast<HFONT>(SendMessageA(g_processList, WM_GETFONT, 0, 0))
                         : nullptr;
}

int MainListNameWidth()
{
    return g_processList
               ? static_cast<int>(SendMessageA(g_processList, LVM_GETCOLUMNWIDTH, 0, 0))
               : 0;
}
