// The main window's process list: the chain of process records, the rows that show them,
// cell texts on demand, sorting and the lookup of the selected process.
#pragma once
#include <windows.h>

#include "core/processrecord.h"

const int kProcessListId = 101;

extern HWND g_processList;           // the main list view, null until created
extern ProcessRecord *g_recordHead;  // newest record
extern int g_sortColumn;             // index into the active column set
extern int g_sortDirection;          // +1 ascending, -1 descending

struct SortParams {
    int controlId;
    int column;
    int direction;
};

HWND CreateProcessList(HWND parent, DWORD style, DWORD exStyle, const struct ColumnEntry *columns,
                       int columnCount, int controlId);
ProcessRecord *FindProcessRecord(DWORD id, DWORD kind);
// The record of a process the list knows to be alive since it last read it, whose name, path and
// parent a refresh may take over instead of reading them again; null for a record a module-usage
// filter hid, whose identifier may have passed to another process meanwhile.
const ProcessRecord *FindKnownProcess(DWORD id, DWORD kind);
int AddOrUpdateProcess(HWND list, const ProcessRecord *record);
// Starts a refresh pass. A pass over an empty chain is a first fill: the processes it finds are
// not new.
void BeginRefreshPass();
// Ends the highlight of the new processes that two passes and two seconds have seen since they
// appeared, repainting their rows.
void EndNewHighlights(HWND list);
// Ends a refresh pass: rows sorted by a figure column are put back in order when a figure moved
// one out of it; otherwise the visible cells whose figure texts changed are repainted.
void RepaintChangedFigures(HWND list);
// Removes the record and its row, if it has one: the process it described is gone, even if a new
// one now has its identifier.
void ForgetProcess(HWND list, ProcessRecord *record);
ProcessRecord *RecordAt(int index);
// The record of the main list's selected row (the first one), or null.
ProcessRecord *SelectedRecord();
DWORD GetSelectedProcess(HWND list, char *buffer, int length);
int CompareText(const char *a, const char *b);
int CALLBACK CompareRecords(LPARAM a, LPARAM b, LPARAM params);
// The text a cell of the row of `record` shows in `column` of the active set ("" for none); valid
// until the next call.
const char *CellText(ProcessRecord *record, int column);
LRESULT GetCellText(NMHDR *header);
LRESULT SortByColumn(NMHDR *header);
LRESULT OnDeleteItem(NMHDR *header);
// Answers the notifications the list's owner passes on unchanged (cell texts, sorting, item
// deletion); false for any other code.
bool AnswerListNotify(NMHDR *header, LRESULT *result);
void UpdateSortArrow(HWND list, bool reloadBitmaps);
// Shows the extra columns of the mask (NT family), keeping the rows, every column's width and the
// sort by the same column where it is still shown (by Name otherwise).
void ShowExtraColumns(HWND list, unsigned mask);
// Deletes a row but keeps its record in the chain.
void HideRow(HWND list, int index);
// Hides the rows the text filter rejects and gives back their rows, in their sorted places, to
// the records it passes again (unless a module-usage filter excludes them).
void ApplyRowFilter(HWND list);
// The records that have rows or would have them without the text filter.
int CountFilterableRecords();
// Unlinks a record from the chain and frees it.
void FreeRecord(ProcessRecord *record);
