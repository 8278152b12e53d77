// The order of the main list's rows as a tree of processes: every process under its parent, one
// level deeper, siblings and roots in the sort order. Kept apart from the table so that the walk
// can be given any parent rule and order, and is bounded whatever the parents say: identifiers
// reused by the system can make a process its own ancestor, and a chain can be as long as there
// are processes.
#pragma once
#include <vector>

struct ProcessRecord;

typedef ProcessRecord *(*TreeParentFn)(const ProcessRecord *record);
typedef bool (*TreeRowFn)(const ProcessRecord *record);
typedef bool (*TreeOrderFn)(const ProcessRecord *a, const ProcessRecord *b);

// The rows of the tree made of `pool`, the records that may show, oldest first. A record shows
// when `wantsRow` says so, and so does every record of the pool above it (marked
// RecordTreeContext when it would not show by itself). A record whose parent does not show is a
// root. The rows below a RecordCollapsed record are left out. Each record of the pool gets
// RecordHasChildren as it has shown records below it, and each row its depth. Every shown record
// takes one row at most: records whose parents close a circle hang below the one of them met
// first in the pool, which becomes a root.
std::vector<ProcessRecord *> TreeRows(const std::vector<ProcessRecord *> &pool,
                                      TreeRowFn wantsRow, TreeParentFn parentOf,
                                      TreeOrderFn before);
