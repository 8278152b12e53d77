// What the program knows of one process: the record the main list's rows, the views and the
// figure columns read. Kept apart from the list so that the cell formatters need not know it.
#pragma once
#include <windows.h>

enum RecordFlags : DWORD {
    RecordSeen = 1,      // met in the current refresh pass (also the tree's visited mark)
    RecordNoDetails = 2, // kept in the chain, never shown as a row
    RecordExcluded = 4,  // filtered out by module usage: the sweep deletes its row, the record
                         // stays until a refresh pass meets the process again and restores it
    RecordWider = 8,     // a 64-bit process seen by the 32-bit build: its memory figures come cut
                         // to 32 bits, so none are shown
    RecordFiltered = 16, // its row hidden by the text filter; the record is refreshed as usual
                         // and gets its row back once it matches again
    RecordNew = 32,      // appeared after the list's first fill: its row is highlighted for a
                         // while (see newSincePass)
    RecordOnScreen = 64, // its row is in view: a pass reads its priority class every time
    RecordQueryPriority = 128, // the system's process query tells its priority class: checked
                               // against the class itself when the process was first read
    RecordEnded = 256,   // no longer running: its row stays a while with its last figures (see
                         // newSincePass, which then counts from the pass that missed it)
    RecordSuspended = 512, // suspended by this program in this run: its row is drawn grey and its
                           // CPU cell says so, until Resume
    RecordThreadsSuspended = 1024, // the system's query, at the last pass, had every thread of it
                                   // waiting because it is suspended (by whatever program)
    RecordSuspendedAny = RecordSuspended | RecordThreadsSuspended,
    // The main list as a tree: the user closed the process's branch (kept across passes), the
    // process has processes below it, and its row shows only because a process below it passes
    // the filters (drawn in grey).
    RecordCollapsed = 2048,
    RecordHasChildren = 4096,
    RecordTreeContext = 8192,
};

enum RecordKind : DWORD {
    KindProcess = 0, // 32-bit (or 64-bit) process
    KindProcess16 = 1, // 16-bit process on Windows 9x
    KindTask16 = 2,  // 16-bit task inside a virtual DOS machine on NT
};

// Live figures of a process from the system's process query (NT family); `known` is false when
// none could be read in the last pass, and the figure columns then stay empty.
// A memory figure that could not be read in full.
const ULONGLONG kFigureUnknown = ~0ull;

struct ProcessFigures {
    bool known;
    int cpuTenths;          // share of the machine over the last pass in 0.1 %; -1 = not known yet
    ULONGLONG cpuTime;      // user plus kernel time, 100 ns units
    ULONGLONG sampleTime;   // when the figures were read (a snapshot's takenAt)
    ULONGLONG workingSet;   // bytes
    ULONGLONG privateBytes; // bytes
    DWORD handleCount;
};

// The values of the text columns, which never change while a process lives: read once, when
// first shown, as heap texts owned by the record (null when empty). The executable's version
// texts are read apart, only when their columns ask.
struct RecordTexts {
    bool read;
    BYTE bits; // the platform's width; 0 = not known
    char *commandLine;
    char *userName;
    bool versionRead;
    char *description;
    char *company;
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
    unsigned changedCells;  // columns (bit per index) whose text the last pass changed
    RecordTexts texts;
    DWORD newSincePass; // the refresh pass and the tick count at which a new record appeared
    DWORD newSinceTick;
    // Kept by the process table: the record's place among the rows (-1 for none), and its age
    // in the chain (a larger number for a record added later).
    int row;
    unsigned long long sequence;
    int depth; // levels below its tree's root while the rows form a tree
};

// A process as a command or a view holds it across anything modal, never a record pointer, which
// a refresh pass may free meanwhile. The start time tells a later process given the same
// identifier apart.
struct ProcessRef {
    DWORD id;
    DWORD kind;
    ULONGLONG createTime; // 0 = not known
};

inline ProcessRef RefOf(const ProcessRecord &record)
{
    return ProcessRef{record.id, record.kind, record.createTime};
}
