// The main window's process list: an owner-data list view that shows the process table's rows.
// It asks the table for each cell when it paints, keeps the selection, the focus and the top row
// on their processes while rows come, go and move, sorts by any column and finds a row by the
// first letters of a name. This file and app/ are the only ones that name the list's window.
#pragma once
#include <windows.h>

#include <vector>

#include "core/processtable.h"

extern HWND g_processList; // the main list view, null until created

// The process list with the columns of a set; owner-data whatever `style` says.
HWND CreateProcessList(HWND parent, DWORD style, DWORD exStyle, const struct ColumnEntry *columns,
                       int columnCount, int controlId);
// Shows the table's rows: they are arranged, the list takes their count, the selected and focused
// processes stay selected and focused wherever their rows went, the top row stays at the top
// where it can, and what changed is repainted. True when no row is selected afterwards (a
// selected process may have gone), so that the caller can bring its commands and status line up
// to date.
bool ShowRows(HWND list);
// One refresh pass: the provider's reading merged into the table, then shown.
bool RefreshProcessList(HWND list);
// Empties the table and the list.
void ForgetAllProcesses(HWND list);
// The record of the main list's chosen row: the focused row when it is selected, else the first
// selected one; null when none is selected. Commands and views about one process act on it.
ProcessRecord *SelectedRecord();
// The records of every selected row of the main list, in row order.
std::vector<ProcessRecord *> SelectedRecords();
// How many rows of the main list are selected.
int SelectedCount();
// Selects every shown row.
void SelectAllRows(HWND list);
// When no shown row is selected, selects and focuses the first one; true when it did.
bool SelectFirstRowIfNone(HWND list);
// The chosen process's identifier (as SelectedRecord picks it; 0 for none); with a buffer, also
// its path (length > 0) or its name (length < 0, room -length).
DWORD GetSelectedProcess(HWND list, char *buffer, int length);
LRESULT GetCellText(NMHDR *header);
LRESULT SortByColumn(NMHDR *header);
// Answers the notifications the list's owner passes on unchanged (cell texts, sorting, finding a
// row by its first letters, row colours); false for any other code.
bool AnswerListNotify(NMHDR *header, LRESULT *result);
void UpdateSortArrow(HWND list, bool reloadBitmaps);
// Shows the extra columns of the mask (NT family), keeping the rows, every column's width and the
// sort by the same column where it is still shown (by Name otherwise).
void ShowExtraColumns(HWND list, unsigned mask);
// Where the tree's glyph of a row is drawn: the row's image place, the row's height.
bool TreeGlyphCell(HWND list, int row, RECT *cell);
// Shows the rows the text filter lets through, now.
void ApplyRowFilter(HWND list);

// ---- The main list, for the views, actions and dialogs that must not hold its window ----------
// Shows the table's rows in the main list (see ShowRows).
void ShowMainRows();
// Stops or resumes the main list's drawing while the table is worked on; resuming repaints it.
void SetMainListRedraw(bool on);
// Repaints every cell of the main list, as after an option that changes how cells read.
void RepaintMainList();
// Shows the extra columns of the mask in the main list, or only in the column set before it
// exists.
void ShowMainExtraColumns(unsigned mask);
// Takes the widths the main list shows as its columns' widths, for the settings to store.
void CaptureMainListWidths();
// The main list's font and the width of its Name column in pixels (0 before it exists).
HFONT MainListFont();
int MainListNameWidth();
