#include "core/reportlist.h"

#include <commctrl.h>

#include <cstdlib>
#include <cstring>
#include <utility>

#include "core/appstate.h"
#include "core/save.h"
#include "core/textcompare.h"

namespace {

// The `column`th tab-separated cell of `line`, copied into `out`.
void CellText(const char *line, int column, char *out, size_t size)
{
    for (int i = 0; i < column && line; ++i) {
        line = std::strchr(line, '\t');
        line = line ? line + 1 : nullptr;
    }
    size_t length = 0;
    if (line) {
        const char *end = std::strchr(line, '\t');
        length = end ? static_cast<size_t>(end - line) : std::strlen(line);
    }
    length = length < size - 1 ? length : size - 1;
    if (length)
        std::memcpy(out, line, length);
    out[length] = '\0';
}

int CALLBACK CompareRows(LPARAM a, LPARAM b, LPARAM context)
{
    const ReportList &report = *reinterpret_cast<const ReportList *>(context);
    char left[MAX_PATH * 2], right[MAX_PATH * 2];
    CellText(report.rows.Text(static_cast<size_t>(a)), report.sortColumn, left, sizeof left);
    CellText(report.rows.Text(static_cast<size_t>(b)), report.sortColumn, right, sizeof right);
    int order;
    if (report.columns->numeric & (1u << report.sortColumn)) {
        const unsigned long x = std::strtoul(left, nullptr, 0);
        const unsigned long y = std::strtoul(right, nullptr, 0);
        order = x < y ? -1 : x > y ? 1 : 0;
    } else {
        order = CompareText(left, right);
    }
    if (order == 0)
        order = a < b ? -1 : a > b ? 1 : 0; // the order they came in
    return report.descending ? -order : order;
}

void Sort(ReportList *report)
{
    if (report->sortColumn >= 0)
        SendMessageA(report->list, LVM_SORTITEMS, reinterpret_cast<WPARAM>(report),
                     reinterpret_cast<LPARAM>(CompareRows));
}

void InsertItem(HWND list, size_t row)
{
    LVITEMA item = {};
    item.mask = LVIF_TEXT | LVIF_PARAM;
    item.iItem = static_cast<int>(row);
    item.pszText = LPSTR_TEXTCALLBACKA;
    item.lParam = static_cast<LPARAM>(row);
    SendMessageA(list, LVM_INSERTITEMA, 0, reinterpret_cast<LPARAM>(&item));
}

void AnswerCellText(const ReportList &report, NMLVDISPINFOA *info)
{
    if (!(info->item.mask & LVIF_TEXT) || !info->item.pszText || info->item.cchTextMax <= 0)
        return;
    const size_t row = static_cast<size_t>(info->item.lParam);
    if (row >= report.rows.Count()) {
        info->item.pszText[0] = '\0';
        return;
    }
    CellText(report.rows.Text(row), info->item.iSubItem, info->item.pszText,
             static_cast<size_t>(info->item.cchTextMax));
}

// The header's sort arrow on `column` alone, pointing the sort's way (drawn by common controls
// 6; older versions leave the header as it is).
void ShowSortArrow(const ReportList *report)
{
    HWND header = reinterpret_cast<HWND>(SendMessageA(report->list, LVM_GETHEADER, 0, 0));
    for (int i = 0; header && i < report->columns->count; ++i) {
        HDITEMA item = {};
        item.mask = HDI_FORMAT;
        SendMessageA(header, HDM_GETITEMA, i, reinterpret_cast<LPARAM>(&item));
        item.fmt &= ~(HDF_SORTUP | HDF_SORTDOWN);
        if (i == report->sortColumn)
            item.fmt |= report->descending ? HDF_SORTDOWN : HDF_SORTUP;
        SendMessageA(header, HDM_SETITEMA, i, reinterpret_cast<LPARAM>(&item));
    }
}

void OnColumnClick(ReportList *report, int column)
{
    report->descending = column == report->sortColumn && !report->descending;
    report->sortColumn = column;
    Sort(report);
    ShowSortArrow(report);
}

// The list item that shows `row`, -1 for none.
int ItemOfRow(HWND list, size_t row)
{
    LVFINDINFOA find = {};
    find.flags = LVFI_PARAM;
    find.lParam = static_cast<LPARAM>(row);
    return static_cast<int>(SendMessageA(list, LVM_FINDITEMA, static_cast<WPARAM>(-1),
                                         reinterpret_cast<LPARAM>(&find)));
}

// A heap copy of the selected row's cells, null for none: a refill selects the row that reads the
// same again.
char *SelectedRowText(const ReportList *report)
{
    const int index = static_cast<int>(
        SendMessageA(report->list, LVM_GETNEXTITEM, static_cast<WPARAM>(-1), LVNI_SELECTED));
    LVITEMA item = {};
    item.mask = LVIF_PARAM;
    item.iItem = index;
    if (index < 0 || !SendMessageA(report->list, LVM_GETITEMA, 0, reinterpret_cast<LPARAM>(&item)) ||
        static_cast<size_t>(item.lParam) >= report->rows.Count())
        return nullptr;
    const char *text = report->rows.Text(static_cast<size_t>(item.lParam));
    char *copy = static_cast<char *>(std::malloc(std::strlen(text) + 1));
    if (copy)
        std::strcpy(copy, text);
    return copy;
}

void SelectRowText(const ReportList *report, const char *text)
{
    for (size_t row = 0; text && row < report->rows.Count(); ++row) {
        if (std::strcmp(report->rows.Text(row), text) != 0)
            continue;
        const int index = ItemOfRow(report->list, row);
        LVITEMA item = {};
        item.state = item.stateMask = LVIS_SELECTED | LVIS_FOCUSED;
        if (index >= 0)
            SendMessageA(report->list, LVM_SETITEMSTATE, index, reinterpret_cast<LPARAM>(&item));
        return;
    }
}

} // namespace

void InitReportList(ReportList *report, HWND list, const ReportColumns *columns)
{
    report->list = list;
    report->columns = columns;
    report->sortColumn = -1;
    report->descending = false;
    SendMessageA(list, LVM_SETEXTENDEDLISTVIEWSTYLE, LVS_EX_FULLROWSELECT, LVS_EX_FULLROWSELECT);
    char *titles = LoadResString(columns->titles);
    for (int i = 0; i < columns->count; ++i) {
        char title[64];
        CellText(titles ? titles : "", i, title, sizeof title);
        RECT width = {0, 0, columns->widths[i], 8};
        MapDialogRect(GetParent(list), &width);
        LVCOLUMNA column = {};
        column.mask = LVCF_TEXT | LVCF_WIDTH | LVCF_SUBITEM;
        column.pszText = title;
        column.cx = width.right;
        column.iSubItem = i;
        SendMessageA(list, LVM_INSERTCOLUMNA, static_cast<WPARAM>(i),
                     reinterpret_cast<LPARAM>(&column));
    }
    FreeResString(titles);
}

void ShowReportRows(ReportList *report, ListLines &&rows)
{
    HWND list = report->list;
    const int top = static_cast<int>(SendMessageA(list, LVM_GETTOPINDEX, 0, 0));
    char *selected = SelectedRowText(report);
    SendMessageA(list, WM_SETREDRAW, FALSE, 0);
    SendMessageA(list, LVM_DELETEALLITEMS, 0, 0);
    report->rows = std::move(rows);
    SendMessageA(list, LVM_SETITEMCOUNT, report->rows.Count(), 0);
    for (size_t i = 0; i < report->rows.Count(); ++i)
        InsertItem(list, i);
    Sort(report);
    SelectRowText(report, selected);
    std::free(selected);
    const int count = static_cast<int>(report->rows.Count());
    if (top > 0 && count > 0) {
        // Showing the last item of the old page, then the old top, brings that top back up.
        const int page = static_cast<int>(SendMessageA(list, LVM_GETCOUNTPERPAGE, 0, 0));
        const int last = top + page - 1 < count ? top + page - 1 : count - 1;
        SendMessageA(list, LVM_ENSUREVISIBLE, last, FALSE);
        SendMessageA(list, LVM_ENSUREVISIBLE, top < count ? top : count - 1, FALSE);
    }
    SendMessageA(list, WM_SETREDRAW, TRUE, 0);
    InvalidateRect(list, nullptr, TRUE);
}

void AddReportRow(ReportList *report, const char *cells, ULONG_PTR value)
{
    report->rows.Add(cells, value);
    InsertItem(report->list, report->rows.Count() - 1);
}

void ClearReportRows(ReportList *report)
{
    SendMessageA(report->list, LVM_DELETEALLITEMS, 0, 0);
    report->rows = ListLines();
}

bool ReportListNotify(ReportList *report, const NMHDR *header)
{
    if (header->hwndFrom != report->list)
        return false;
    if (header->code == LVN_GETDISPINFOA)
        AnswerCellText(*report, reinterpret_cast<NMLVDISPINFOA *>(const_cast<NMHDR *>(header)));
    else if (header->code == LVN_COLUMNCLICK)
        OnColumnClick(report, reinterpret_cast<const NMLISTVIEW *>(header)->iSubItem);
    else
        return false;
    return true;
}

bool SelectedReportValue(const ReportList *report, ULONG_PTR *value)
{
    const int index = static_cast<int>(
        SendMessageA(report->list, LVM_GETNEXTITEM, static_cast<WPARAM>(-1), LVNI_SELECTED));
    LVITEMA item = {};
    item.mask = LVIF_PARAM;
    item.iItem = index;
    if (index < 0 || !SendMessageA(report->list, LVM_GETITEMA, 0, reinterpret_cast<LPARAM>(&item)))
        return false;
    const size_t row = static_cast<size_t>(item.lParam);
    if (row >= report->rows.Count())
        return false;
    *value = report->rows.Value(row);
    return true;
}

void SaveReportList(const ReportList *report, HWND owner)
{
    if (!OpenSaveFile(owner))
        return;
    char *titles = LoadResString(report->columns->titles);
    std::fprintf(g_saveFile, "%s\n", titles ? titles : "");
    FreeResString(titles);
    const int count = static_cast<int>(SendMessageA(report->list, LVM_GETITEMCOUNT, 0, 0));
    for (int i = 0; i < count; ++i) {
        LVITEMA item = {};
        item.mask = LVIF_PARAM;
        item.iItem = i;
        if (SendMessageA(report->list, LVM_GETITEMA, 0, reinterpret_cast<LPARAM>(&item)) &&
            static_cast<size_t>(item.lParam) < report->rows.Count())
            std::fprintf(g_saveFile, "%s\n", report->rows.Text(static_cast<size_t>(item.lParam)));
    }
    CloseSaveFile(owner);
}
