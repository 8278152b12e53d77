// A report list view of tab-separated rows that sorts by the column whose title is clicked (again:
// the other way round; the header shows the arrow) and saves itself as text. The rows stay the list's data: each item keeps
// its row's index, and asks its cells' texts from the rows when drawn.
#pragma once
#include <windows.h>

#include "core/listlines.h"

struct ReportColumns {
    UINT titles;         // string: the column titles, tab-separated
    const int *widths;   // dialog units, one per column
    int count;
    unsigned numeric;    // bit per column whose cells sort as numbers ("0x1C" or "28")
};

struct ReportList {
    HWND list;
    const ReportColumns *columns;
    ListLines rows; // each row's cells tab-separated, with the value it keeps
    int sortColumn; // -1: in the order the rows were added
    bool descending;
};

void InitReportList(ReportList *report, HWND list, const ReportColumns *columns);
// Replaces every row, in the current sort order; the list keeps its scroll position, and the
// selection stays on a row that reads as the selected one did.
void ShowReportRows(ReportList *report, ListLines &&rows);
// Adds one row at the end.
void AddReportRow(ReportList *report, const char *cells, ULONG_PTR value);
void ClearReportRows(ReportList *report);
// Column clicks and cell texts; true when the notification was the list's.
bool ReportListNotify(ReportList *report, const NMHDR *header);
// The value kept by the row of the selected item; false when there is none.
bool SelectedReportValue(const ReportList *report, ULONG_PTR *value);
// The column titles, then every row as shown, tab-separated (F2 and Ctrl+S).
void SaveReportList(const ReportList *report, HWND owner);
