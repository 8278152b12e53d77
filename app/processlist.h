// The main window's process list: the chain of process records, the rows that show them,
// cell texts on demand, sorting and the lookup of the selected process.
#pragma once
#include <windows.h>

enum RecordFlags : DWORD {
    RecordSeen = 1,      // met in the current refresh pass (also the tree's visited mark)
    RecordNoDetails = 2, // kept in the chain, never shown as a row
    RecordExcluded = 4,  // filtered out by module usage: the sweep deletes its row, the record
                         // stays until a refresh pass meets the process again and restores it
};

enum RecordKind : DWORD {
    KindProcess = 0, // 32-bit (or 64-bit) process
    KindProcess16 = 1, // 16-bit process on Windows 9x
    KindTask16 = 2,  // 16-bit task inside a virtual DOS machine on NT
};

// Live figures of a process from the system's process query (NT family); `known` is false when
// none could be read in the last pass, and the figure columns then stay empty.
struct ProcessFigures {
    bool known;
    int cpuTenths;          // share of the machine over the last pass in 0.1 %; -1 = not known yet
    ULONGLONG cpuTime;      // user plus kernel time, 100 ns units
    ULONGLONG sampleTime;   // when the figures were read (a FILETIME), for the next share
    ULONGLONG workingSet;   // bytes
    ULONGLONG privateBytes; // bytes
    DWORD handleCount;
};

struct ProcessRecord {
    ProcessRecord *next; // older
    ProcessRecord *prev; // newer
    DWORD flags;
    char name[MAX_PATH];
    DWORD id;
    DWORD parentId;
    DWORD priorityClass;
    LONG basePriority;
    DWORD threadCount;
    DWORD kind;
    WORD task16;
    char path[MAX_PATH];
    ULONGLONG createTime; // when the process started (a FILETIME); 0 = not known
    ProcessFigures figures; // its thread count is `threadCount`
};

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
// Repaints the list once when the last refresh pass changed figures its columns show.
void RepaintChangedFigures(HWND list);
// Removes the record and its row, if it has one: the process it described is gone, even if a new
// one now has its identifier.
void DropProcessRecord(HWND list, ProcessRecord *record);
ProcessRecord *RecordAt(int index);
DWORD GetSelectedProcess(HWND list, char *buffer, int length);
int CompareText(const char *a, const char *b);
int CALLBACK CompareRecords(LPARAM a, LPARAM b, LPARAM params);
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
// Unlinks a record from the chain and frees it.
void FreeRecord(ProcessRecord *record);
