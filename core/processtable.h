// The process table: every record the program knows, and the rows the main list shows. It owns
// the records (the chain, newest first, and an index by identity), merges each refresh pass's
// reading into them, decides which records have rows and in what order, and knows each process's
// parent. It names no window: the main list (core/processlist) only shows what it holds, and it
// can be driven in a test with no list at all.
#pragma once
#include <windows.h>

#include <vector>

#include "core/processrecord.h"

extern ProcessRecord *g_recordHead; // newest record
extern int g_sortColumn;            // index into the active column set
extern int g_sortDirection;         // +1 ascending, -1 descending

const int kProcessListId = 101; // the main list's control identifier, also in SortParams

struct SortParams {
    int controlId;
    int column;
    int direction;
};

ProcessRecord *FindProcessRecord(DWORD id, DWORD kind);
// The record of a process the table knows to be alive since it last read it, whose name, path and
// parent a refresh may take over instead of reading them again; null for a record a module-usage
// filter hid, whose identifier may have passed to another process meanwhile, and for an ended one.
const ProcessRecord *FindKnownProcess(DWORD id, DWORD kind);
// The record of the referenced process, or null when it is gone (or kept only as an ended row)
// or its identifier now names a process that started at another time.
ProcessRecord *FindReferencedProcess(const ProcessRef &ref);

// Merges one reading of a process into its record, or adds a record for it: 1 on success, 0 when
// memory ran out.
int AddOrUpdateProcess(const ProcessRecord *record);
// Starts a refresh pass: no record is seen yet. A pass over an empty table is a first fill: the
// processes it finds are not new.
void BeginRefreshPass();

// What a pass changed: records added, records whose shown cells changed, records forgotten.
struct TableChanges {
    int added;
    int changed;
    int removed;
};
// One whole pass: every reading merged, the records the pass did not meet forgotten, the new
// processes' highlight ended where it has run its time.
TableChanges MergeProcesses(const std::vector<ProcessRecord> &reading);
// Reads every process the system lists, one record each: the provider's half of a refresh pass.
// It may look records up in the table, and changes none.
typedef void (*ProcessReader)(std::vector<ProcessRecord> *reading);
// Installs the reader of the running system's provider (null: none).
void SetProcessReader(ProcessReader reader);
// One refresh pass of the table from the installed reader.
TableChanges RefreshProcessTable();
// Forgets every record the running pass has not seen. While ended processes are kept, a shown
// record the pass missed is marked ended instead and keeps its row, with its last figures, as
// long as a new process stays highlighted; then it is forgotten. Returns how many were forgotten.
int ForgetUnseenProcesses();
// Whether ended processes keep their rows for a while or (until told otherwise) leave at the pass
// that misses them.
void KeepEndedProcesses(bool keep);
// The rows of processes still running (ended ones are left out).
int CountLiveRows();
// Removes a record: the process it described is gone, even if a new one now has its identifier.
void ForgetProcess(ProcessRecord *record);
// Empties the table.
void ForgetAllRecords();
// Unlinks a record from the chain and the rows and frees it.
void FreeRecord(ProcessRecord *record);

// ---- The rows ---------------------------------------------------------------------------------
// A record has a row unless it has no details, a module-usage filter excludes it or the text
// filter rejects it. Rows keep their order between passes: a new record goes to its sorted
// place, a record whose sort key changed stays where it is until the rows are sorted again (at
// once when a figure column is sorted).
int RowCount();
ProcessRecord *RecordAt(int row); // null outside the rows or for a record forgotten since
int RowOf(const ProcessRecord *record); // -1 when it has no row
// Brings the rows up to the records: forgotten and hidden records leave, records that should
// show get their sorted places. True when any row came, went or moved.
bool ArrangeRows();
// Sorts the rows by g_sortColumn and g_sortDirection (at the next ArrangeRows).
void RequestSort();

// ---- The rows as a tree -----------------------------------------------------------------------
// In tree mode every row stands below its parent's, one level deeper (its record's depth), and
// each parent's rows are sorted among themselves; a process the filters hide shows, in grey,
// while a process below it passes them. The rows below a collapsed process are left out; a
// process keeps its collapsed state from pass to pass. Takes effect at the next ArrangeRows.
void SetTreeMode(bool on);
bool TreeMode();
void SetCollapsed(ProcessRecord *record, bool collapsed);
// Opens the process's branch and every branch below it.
void ExpandBranch(ProcessRecord *record);
// Opens every branch above the process, so that its row shows.
void ExpandAbove(const ProcessRecord *record);
// Re-reads the text filter for every record (at the next ArrangeRows).
void RequestFilter();
// The running processes that have rows or would have them without the text filter.
int CountFilterableRecords();
// Ends the highlight of the new processes that two passes and two seconds have seen since they
// appeared; true when any ended (their rows need repainting).
bool EndNewHighlights();

// The parent of a process: the record with its parent identifier that started no later than it
// (of two that started together and name each other, the one met first). Where either start
// time is unknown (Windows 9x, or an access refusal), the record older in the chain counts. Null
// for a root. A reused identifier never makes a false parent.
ProcessRecord *ParentOf(const ProcessRecord *record);
// The processes of `roots` and every process below them by the parent rule, each once, a child
// before its parent: the order in which a tree is ended.
std::vector<ProcessRecord *> ProcessTreeOf(const std::vector<ProcessRecord *> &roots);
// Whether `ancestor` stands above `record`. Where start times are known for some records and not
// for others, parents can close a circle: the walk up ends after as many steps as there are
// records, so it never hangs.
bool HasAncestor(const ProcessRecord *record, const ProcessRecord *ancestor);

int CALLBACK CompareRecords(LPARAM a, LPARAM b, LPARAM params);
