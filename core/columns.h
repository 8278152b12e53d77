// The column sets of the main process list. The base set is chosen once at start-up from the
// operating-system family; on the NT family the user may add extra columns of live figures,
// shown after Priority and before Full Path. The settings store may replace the widths with
// stored ones.
#pragma once
#include <windows.h>

enum ColumnKind {
    ColumnName,
    ColumnId,
    ColumnPriority,
    ColumnThreads,
    ColumnType,
    ColumnPath,
    ColumnCpu,
    ColumnCpuTime,
    ColumnWorkingSet,
    ColumnPrivateBytes,
    ColumnHandles,
    ColumnStarted,
    ColumnCommandLine,
    ColumnUserName,
    ColumnPlatform,
    ColumnParentId,
    ColumnDescription,
    ColumnCompany,
    ColumnServices,
};

struct ColumnEntry {
    WORD stringId; // header text; 0 terminates a set
    WORD width;    // pixels of a 96-dpi screen
};

extern ColumnEntry g_columnsNt[];
extern ColumnEntry g_columns9x[];

extern ColumnEntry *g_columns;          // active set
extern const ColumnKind *g_columnKinds; // kind of each column of the active set
extern int g_columnCount;               // 4 on NT and 6 on Windows 9x, plus the extra columns

// The extra columns, numbered 1 to kExtraColumnCount in their fixed order; bit n-1 of the mask
// stands for column n.
const int kExtraColumnCount = 14;
extern const WORD kExtraColumnStrings[kExtraColumnCount]; // header texts
extern WORD g_extraColumnWidths[kExtraColumnCount];
extern unsigned g_extraColumns; // shown ones; always 0 on Windows 9x

// Makes the set of the given family active (default widths unless changed since).
void SelectColumnSet(bool nt);
// Shows the extra columns of the mask (NT family only) in the active set.
void SetExtraColumns(unsigned mask);
// The base set of the active family and its column count.
ColumnEntry *BaseColumns(int *count);
// Takes the widths the list shows now as the widths of their columns, base or extra.
void CaptureColumnWidths(HWND list);
// The width a column of this kind is shown at, in 96-dpi pixels: `width` within sane bounds,
// the column's default width outside them.
WORD BoundedColumnWidth(int width, ColumnKind kind);
// Gives every stored width of every set (base and extra) outside the bounds its default.
void BoundStoredWidths();
// Widens the default widths that would cut their header text or the sort arrow beside it; run
// before stored widths replace them.
void FitDefaultWidths();
// Index of the first column of this kind in the active set, or -1.
int FindColumn(ColumnKind kind);
