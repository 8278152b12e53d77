// The two column sets of the main process list. The active set is chosen once at start-up from
// the operating-system family; the settings store may replace its widths with stored ones.
#pragma once
#include <windows.h>

enum ColumnKind { ColumnName, ColumnId, ColumnPriority, ColumnThreads, ColumnType, ColumnPath };

struct ColumnEntry {
    WORD stringId; // header text; 0 terminates a set
    WORD width;    // pixels
};

extern ColumnEntry g_columnsNt[];
extern ColumnEntry g_columns9x[];

extern ColumnEntry *g_columns;          // active set
extern const ColumnKind *g_columnKinds; // kind of each column of the active set
extern int g_columnCount;               // 4 on NT, 6 on Windows 9x

// Makes the set of the given family active (default widths unless changed since).
void SelectColumnSet(bool nt);
