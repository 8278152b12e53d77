#include "core/processtable.h"

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <unordered_map>

#include "core/appstate.h"
#include "core/columns.h"
#include "core/figurecells.h"
#include "core/processtree.h"
#include "core/rowfilter.h"
#include "core/textcells.h"
#include "core/textcompare.h"

ProcessRecord *g_recordHead = nullptr;
int g_sortColumn = 0;
int g_sortDirection = 1;

namespace {

// Identity (id, kind) -> record, so that a refresh pass finds each process without walking the
// whole chain: the chain keeps the age order, the index keeps look-ups cheap on large machines.
std::unordered_map<unsigned long long, ProcessRecord *> g_recordIndex;

// The rows in their shown order. A forgotten record's place holds null until ArrangeRows.
std::vector<ProcessRecord *> g_rows;

// False once a record's sort key changed in place without its row moving (a priority or thread
// count seen by a refresh); true again when the rows are sorted or there are none.
bool g_rowsSorted = true;
bool g_sortRequested = false;
bool g_filterRequested = false;

// Refresh passes so far, and whether the running one started from an empty chain.
DWORD g_passNumber = 0;
bool g_firstFill = true;
unsigned long long g_nextSequence = 1;
ProcessReader g_reader;
bool g_keepEnded = false; // the main window sets it from the settings before each refresh
bool g_treeMode = false;  // the rows form a tree of processes

// How long a new process stays highlighted: until both have passed.
const DWORD kNewPasses = 2;
const DWORD kNewMilliseconds = 2000;

// Whether a record's highlight, new or ended, has run its time.
bool HighlightOver(const ProcessRecord *record, DWORD now)
{
    return g_passNumber - record->newSincePass >= kNewPasses &&
           now - record->newSinceTick >= kNewMilliseconds;
}

// Every cell of a row: its whole row is repainted.
const unsigned kWholeRow = ~0u;

const DWORD kNoRowFlags = RecordNoDetails | RecordExcluded | RecordFiltered;

unsigned long long IdentityKey(DWORD id, DWORD kind)
{
    return (static_cast<unsigned long long>(kind) << 32) | id;
}

int CompareNumbers(DWORD a, DWORD b)
{
    return a > b ? 1 : (a < b ? -1 : 0);
}

void LinkRecord(ProcessRecord *record)
{
    record->prev = nullptr;
    record->next = g_recordHead;
    if (g_recordHead)
        g_recordHead->prev = record;
    g_recordHead = record;
    record->sequence = g_nextSequence++;
    record->row = -1;
    g_recordIndex[IdentityKey(record->id, record->kind)] = record;
}

// Whether a full read of a process describes the process of a kept record, not a later one that
// was given the same identifier.
bool SameProcess(const ProcessRecord &kept, const ProcessRecord &read)
{
    return kept.parentId == read.parentId && std::strcmp(kept.name, read.name) == 0 &&
           std::strcmp(kept.path, read.path) == 0;
}

// Two known start times that differ: the identifier passed to another process.
bool StartedAtAnotherTime(const ProcessRecord &kept, ULONGLONG createTime)
{
    return kept.createTime && createTime && kept.createTime != createTime;
}

// A record without a row that gets one again: a process first met without details (still
// starting, or not yet readable) that now has them, or one back from a module-usage filter. The
// record takes what the pass read and keeps its place in the chain, so its age among the others
// does not change.
void ReviveRecord(ProcessRecord *existing, const ProcessRecord *incoming)
{
    const ProcessRecord kept = *existing; // what the pass cannot bring
    *existing = *incoming;
    existing->next = kept.next;
    existing->prev = kept.prev;
    existing->texts = kept.texts;
    existing->row = kept.row;
    existing->sequence = kept.sequence;
    const DWORD keptFlags = RecordNew | RecordCollapsed;
    existing->flags = (existing->flags & ~keptFlags) | (kept.flags & keptFlags) | RecordSeen;
    existing->newSincePass = kept.newSincePass;
    existing->newSinceTick = kept.newSinceTick;
    existing->changedCells = kWholeRow;
    existing->name[MAX_PATH - 1] = '\0';
    existing->path[MAX_PATH - 1] = '\0';
}

// The columns, a bit per index, whose figure texts differ between what a record shows and what a
// pass read.
unsigned ChangedFigureCells(const ProcessRecord &shown, const ProcessRecord &read)
{
    unsigned cells = 0;
    for (int column = 0; column < g_columnCount && column < 32; ++column)
        if (IsFigureColumn(g_columnKinds[column]) &&
            FigureTextsDiffer(g_columnKinds[column], shown, read))
            cells |= 1u << column;
    return cells;
}

// A pass's reading of a process the table shows already: only what can change while it lives.
void UpdateRecord(ProcessRecord *existing, const ProcessRecord *incoming)
{
    // The figures are kept even while no column shows them: the next pass's CPU share is
    // counted from them.
    const bool changed = existing->priorityClass != incoming->priorityClass ||
                         (existing->threadCount != incoming->threadCount && !IsNt);
    const ColumnKind sortKind = g_columnKinds[g_sortColumn];
    const bool sortKeyChanged =
        IsFigureColumn(sortKind) && CompareFigures(sortKind, *existing, *incoming) != 0;
    // A process suspended or resumed by another program since the last pass.
    const DWORD threads = incoming->flags & RecordThreadsSuspended;
    const bool stateChanged = (existing->flags & RecordThreadsSuspended) != threads;
    existing->flags = (existing->flags & ~RecordThreadsSuspended) | threads;
    existing->changedCells =
        changed || stateChanged ? kWholeRow : ChangedFigureCells(*existing, *incoming);
    existing->priorityClass = incoming->priorityClass;
    existing->threadCount = incoming->threadCount;
    existing->figures = incoming->figures;
    // The row stays where it is, so the rows may no longer be in order.
    if (changed || sortKeyChanged)
        g_rowsSorted = false;
}

bool WantsRow(const ProcessRecord *record)
{
    return !(record->flags & kNoRowFlags);
}

// Sets or clears the text filter's mark on every record that could have a row.
void FilterRecords()
{
    for (ProcessRecord *record = g_recordHead; record; record = record->next) {
        if (record->flags & (RecordNoDetails | RecordExcluded))
            continue;
        if (RecordPassesRowFilter(record))
            record->flags &= ~RecordFiltered;
        else
            record->flags |= RecordFiltered;
    }
}

bool SortsBefore(const ProcessRecord *a, const ProcessRecord *b)
{
    const SortParams params = {kProcessListId, g_sortColumn, g_sortDirection};
    return CompareRecords(reinterpret_cast<LPARAM>(a), reinterpret_cast<LPARAM>(b),
                          reinterpret_cast<LPARAM>(&params)) < 0;
}

bool InOrder(const std::vector<ProcessRecord *> &rows)
{
    for (size_t row = 1; row < rows.size(); ++row)
        if (SortsBefore(rows[row], rows[row - 1]))
            return false;
    return true;
}

// The records that want a row and have none, oldest first: the order the passes met them in.
std::vector<ProcessRecord *> Newcomers()
{
    std::vector<ProcessRecord *> newcomers;
    for (ProcessRecord *record = g_recordHead; record; record = record->next)
        if (record->row < 0 && WantsRow(record))
            newcomers.push_back(record);
    std::reverse(newcomers.begin(), newcomers.end());
    return newcomers;
}

// Each newcomer goes before the first row, from the top, that sorts after it. While the rows are
// sorted, newcomers sorted among themselves are merged in; once a row may stand out of order only
// a scan finds that row.
std::vector<ProcessRecord *> PlaceNewcomers(std::vector<ProcessRecord *> rows,
                                            std::vector<ProcessRecord *> newcomers)
{
    if (newcomers.empty())
        return rows;
    if (g_rowsSorted || rows.empty()) {
        std::stable_sort(newcomers.begin(), newcomers.end(), SortsBefore);
        std::vector<ProcessRecord *> merged;
        merged.reserve(rows.size() + newcomers.size());
        std::merge(rows.begin(), rows.end(), newcomers.begin(), newcomers.end(),
                   std::back_inserter(merged), SortsBefore);
        return merged;
    }
    for (ProcessRecord *record : newcomers) {
        size_t row = 0;
        while (row < rows.size() && !SortsBefore(record, rows[row]))
            ++row;
        rows.insert(rows.begin() + static_cast<std::ptrdiff_t>(row), record);
    }
    return rows;
}

// The rows as a tree, from every record with details, built anew: its shape follows the
// processes, and the rows of each parent are sorted among themselves. A record whose glyph
// changes (it gained or lost children, or stands only for a row below it) is repainted.
bool ArrangeTreeRows()
{
    const DWORD treeFlags = RecordHasChildren | RecordTreeContext;
    std::vector<ProcessRecord *> pool;
    std::vector<DWORD> before;
    for (ProcessRecord *record = g_recordHead; record; record = record->next)
        if (!(record->flags & RecordNoDetails))
            pool.push_back(record);
    std::reverse(pool.begin(), pool.end()); // oldest first
    for (const ProcessRecord *record : pool)
        before.push_back(record->flags & treeFlags);
    std::vector<ProcessRecord *> rows = TreeRows(pool, WantsRow, ParentOf, SortsBefore);
    for (size_t i = 0; i < pool.size(); ++i)
        if ((pool[i]->flags & treeFlags) != before[i])
            pool[i]->changedCells = kWholeRow;
    for (ProcessRecord *record : g_rows)
        if (record)
            record->row = -1;
    const bool moved = rows != g_rows;
    g_rows = std::move(rows);
    for (size_t row = 0; row < g_rows.size(); ++row)
        g_rows[row]->row = static_cast<int>(row);
    g_rowsSorted = true;
    g_sortRequested = false;
    return moved;
}

} // namespace

ProcessRecord *FindProcessRecord(DWORD id, DWORD kind)
{
    auto found = g_recordIndex.find(IdentityKey(id, kind));
    return found == g_recordIndex.end() ? nullptr : found->second;
}

const ProcessRecord *FindKnownProcess(DWORD id, DWORD kind)
{
    const ProcessRecord *record = FindProcessRecord(id, kind);
    return record && !(record->flags & (RecordExcluded | RecordEnded)) ? record : nullptr;
}

ProcessRecord *FindReferencedProcess(const ProcessRef &ref)
{
    ProcessRecord *record = FindProcessRecord(ref.id, ref.kind);
    return record && !(record->flags & RecordEnded) &&
                   !StartedAtAnotherTime(*record, ref.createTime)
               ? record
               : nullptr;
}

int AddOrUpdateProcess(const ProcessRecord *incoming)
{
    ProcessRecord *existing = FindProcessRecord(incoming->id, incoming->kind);
    // An ended process never comes back: a process with its identifier is a later one, also
    // where start times are unknown.
    if (existing && ((existing->flags & RecordEnded) ||
                     StartedAtAnotherTime(*existing, incoming->createTime))) {
        FreeRecord(existing); // its identifier now names another process
        existing = nullptr;
    }
    if (existing && (existing->flags & RecordExcluded)) {
        if (SameProcess(*existing, *incoming)) {
            ReviveRecord(existing, incoming);
            return 1;
        }
        FreeRecord(existing);
        existing = nullptr;
    }
    if (existing && (existing->flags & RecordNoDetails) && !(incoming->flags & RecordNoDetails)) {
        ReviveRecord(existing, incoming);
        return 1;
    }
    if (existing) {
        existing->flags |= RecordSeen;
        if (!(existing->flags & RecordNoDetails))
            UpdateRecord(existing, incoming);
        return 1;
    }

    ProcessRecord *record = static_cast<ProcessRecord *>(std::malloc(sizeof(ProcessRecord)));
    if (!record)
        return 0;
    *record = *incoming;
    record->name[MAX_PATH - 1] = '\0';
    record->path[MAX_PATH - 1] = '\0';
    record->changedCells = 0;
    record->texts = RecordTexts(); // read for the record itself, when first shown
    LinkRecord(record);
    record->flags = (record->flags & ~(RecordNew | RecordFiltered)) | RecordSeen |
                    (g_firstFill ? 0u : static_cast<DWORD>(RecordNew));
    record->newSincePass = g_passNumber;
    record->newSinceTick = GetTickCount();
    return 1;
}

void BeginRefreshPass()
{
    ++g_passNumber;
    g_firstFill = g_recordHead == nullptr;
    for (ProcessRecord *record = g_recordHead; record; record = record->next)
        record->flags &= ~RecordSeen;
}

TableChanges MergeProcesses(const std::vector<ProcessRecord> &reading)
{
    TableChanges changes = {};
    const unsigned long long firstNew = g_nextSequence;
    BeginRefreshPass();
    for (const ProcessRecord &record : reading)
        AddOrUpdateProcess(&record);
    changes.removed = ForgetUnseenProcesses();
    changes.added = static_cast<int>(g_nextSequence - firstNew);
    EndNewHighlights();
    for (const ProcessRecord *record = g_recordHead; record; record = record->next)
        if (record->changedCells)
            ++changes.changed;
    return changes;
}

void SetProcessReader(ProcessReader reader)
{
    g_reader = reader;
}

TableChanges RefreshProcessTable()
{
    // Kept between passes, so that a steady pass allocates nothing.
    static std::vector<ProcessRecord> reading;
    reading.clear();
    if (g_reader)
        g_reader(&reading);
    const TableChanges changes = MergeProcesses(reading);
    // The services a process hosts can change while it runs: read once a pass while shown.
    const int services = FindColumn(ColumnServices);
    if (RefreshServiceTexts(services >= 0) && services >= 0 && services < 32)
        for (ProcessRecord *record = g_recordHead; record; record = record->next)
            record->changedCells |= 1u << services;
    return changes;
}

int ForgetUnseenProcesses()
{
    const DWORD now = GetTickCount();
    int forgotten = 0;
    ProcessRecord *record = g_recordHead;
    while (record) {
        ProcessRecord *next = record->next;
        if (record->flags & RecordSeen) {
            record = next;
            continue;
        }
        if (g_keepEnded && !(record->flags & RecordEnded) && RowOf(record) >= 0) {
            // The highlight's clock starts again at this pass; a new process that ended shows
            // as ended.
            record->flags = (record->flags & ~RecordNew) | RecordEnded;
            record->newSincePass = g_passNumber;
            record->newSinceTick = now;
            record->changedCells = kWholeRow;
        } else if (!g_keepEnded || !(record->flags & RecordEnded) || HighlightOver(record, now)) {
            FreeRecord(record);
            ++forgotten;
        }
        record = next;
    }
    return forgotten;
}

void KeepEndedProcesses(bool keep)
{
    g_keepEnded = keep;
}

int CountLiveRows()
{
    int count = 0;
    for (const ProcessRecord *record : g_rows)
        if (record && !(record->flags & RecordEnded))
            ++count;
    return count;
}

void ForgetProcess(ProcessRecord *record)
{
    FreeRecord(record);
}

void ForgetAllRecords()
{
    while (g_recordHead)
        FreeRecord(g_recordHead);
    g_rows.clear();
    g_rowsSorted = true;
}

void FreeRecord(ProcessRecord *record)
{
    if (!record)
        return;
    auto found = g_recordIndex.find(IdentityKey(record->id, record->kind));
    if (found != g_recordIndex.end() && found->second == record)
        g_recordIndex.erase(found);
    if (record->prev)
        record->prev->next = record->next;
    else if (g_recordHead == record)
        g_recordHead = record->next;
    if (record->next)
        record->next->prev = record->prev;
    if (record->row >= 0 && static_cast<size_t>(record->row) < g_rows.size() &&
        g_rows[record->row] == record)
        g_rows[record->row] = nullptr;
    FreeRecordTexts(record);
    std::free(record);
}

int RowCount()
{
    return static_cast<int>(g_rows.size());
}

ProcessRecord *RecordAt(int row)
{
    return row >= 0 && static_cast<size_t>(row) < g_rows.size() ? g_rows[row] : nullptr;
}

int RowOf(const ProcessRecord *record)
{
    return record && record->row >= 0 && static_cast<size_t>(record->row) < g_rows.size() &&
                   g_rows[record->row] == record
               ? record->row
               : -1;
}

bool ArrangeRows()
{
    if (RowFilterActive() || g_filterRequested)
        FilterRecords();
    g_filterRequested = false;
    if (g_treeMode)
        return ArrangeTreeRows();

    bool moved = false;
    std::vector<ProcessRecord *> rows;
    rows.reserve(g_rows.size());
    for (ProcessRecord *record : g_rows) {
        if (record && WantsRow(record)) {
            rows.push_back(record);
            continue;
        }
        moved = true;
        if (record)
            record->row = -1;
    }
    if (rows.empty())
        g_rowsSorted = true;
    const bool figureSort = IsFigureColumn(g_columnKinds[g_sortColumn]);
    if (g_sortRequested || (!g_rowsSorted && figureSort && !InOrder(rows))) {
        // Rows sorted by a figure follow it; the others only when the user asks.
        std::stable_sort(rows.begin(), rows.end(), SortsBefore);
        g_rowsSorted = true;
        moved = true;
    }
    g_sortRequested = false;
    if (!g_rowsSorted && figureSort)
        g_rowsSorted = true; // checked in order above
    std::vector<ProcessRecord *> newcomers = Newcomers();
    moved = moved || !newcomers.empty();
    g_rows = PlaceNewcomers(std::move(rows), std::move(newcomers));
    for (size_t row = 0; row < g_rows.size(); ++row)
        g_rows[row]->row = static_cast<int>(row);
    return moved;
}

void SetTreeMode(bool on)
{
    if (g_treeMode == on)
        return;
    g_treeMode = on;
    // Flat again, rows shown only for a process below them leave at the next arrangement.
    if (!on)
        for (ProcessRecord *record = g_recordHead; record; record = record->next)
            record->flags &= ~(RecordHasChildren | RecordTreeContext);
    g_sortRequested = true;
}

bool TreeMode()
{
    return g_treeMode;
}

void SetCollapsed(ProcessRecord *record, bool collapsed)
{
    if (!record)
        return;
    record->flags = collapsed ? record->flags | RecordCollapsed : record->flags & ~RecordCollapsed;
    record->changedCells = kWholeRow;
}

void ExpandBranch(ProcessRecord *record)
{
    if (!record)
        return;
    for (ProcessRecord *below : ProcessTreeOf({record}))
        SetCollapsed(below, false);
}

void ExpandAbove(const ProcessRecord *record)
{
    size_t steps = g_recordIndex.size();
    for (ProcessRecord *parent = ParentOf(record); parent && steps--; parent = ParentOf(parent))
        SetCollapsed(parent, false);
}

void RequestSort()
{
    g_sortRequested = true;
}

void RequestFilter()
{
    g_filterRequested = true;
}

int CountFilterableRecords()
{
    int count = 0;
    for (const ProcessRecord *record = g_recordHead; record; record = record->next)
        if (!(record->flags & (RecordExcluded | RecordNoDetails | RecordEnded)))
            ++count;
    return count;
}

bool EndNewHighlights()
{
    const DWORD now = GetTickCount();
    bool ended = false;
    for (ProcessRecord *record = g_recordHead; record; record = record->next) {
        if (!(record->flags & RecordNew) || !HighlightOver(record, now))
            continue;
        record->flags &= ~RecordNew;
        record->changedCells = kWholeRow;
        ended = true;
    }
    return ended;
}

ProcessRecord *ParentOf(const ProcessRecord *record)
{
    if (!record)
        return nullptr;
    ProcessRecord *parent = FindProcessRecord(record->parentId, KindProcess);
    if (!parent || parent == record)
        return nullptr;
    if (parent->createTime && record->createTime) {
        if (parent->createTime != record->createTime)
            return parent->createTime < record->createTime ? parent : nullptr;
        // Started in the same tick (Wine counts whole seconds): the parent it names, unless each
        // names the other, when the one the table met first is the older.
        if (parent->parentId != record->id)
            return parent;
    }
    return parent->sequence < record->sequence ? parent : nullptr;
}

bool HasAncestor(const ProcessRecord *record, const ProcessRecord *ancestor)
{
    size_t steps = g_recordIndex.size();
    for (const ProcessRecord *parent = ParentOf(record); parent && ancestor && steps--;
         parent = ParentOf(parent))
        if (parent == ancestor)
            return true;
    return false;
}

std::vector<ProcessRecord *> ProcessTreeOf(const std::vector<ProcessRecord *> &roots)
{
    // Each record's depth below the nearest root above it (or itself); deeper ones go first.
    std::vector<std::pair<size_t, ProcessRecord *>> members;
    const size_t limit = g_recordIndex.size();
    for (ProcessRecord *record = g_recordHead; record; record = record->next) {
        size_t depth = 0;
        for (const ProcessRecord *step = record; step && depth <= limit;
             step = ParentOf(step), ++depth) {
            if (std::find(roots.begin(), roots.end(), step) != roots.end()) {
                members.push_back({depth, record});
                break;
            }
        }
    }
    std::stable_sort(members.begin(), members.end(),
                     [](const auto &a, const auto &b) { return a.first > b.first; });
    std::vector<ProcessRecord *> tree;
    for (const auto &member : members)
        tree.push_back(member.second);
    return tree;
}

int CALLBACK CompareRecords(LPARAM first, LPARAM second, LPARAM paramsValue)
{
    const SortParams *params = reinterpret_cast<const SortParams *>(paramsValue);
    ProcessRecord *a = reinterpret_cast<ProcessRecord *>(first); // a text read fills it in
    ProcessRecord *b = reinterpret_cast<ProcessRecord *>(second);
    if (!params || params->controlId != kProcessListId || params->column < 0 ||
        params->column >= g_columnCount || !a || !b)
        return 0;

    // A 16-bit task sorts beside its virtual DOS machine, unless both are tasks of the same one.
    if ((a->kind == KindTask16 || b->kind == KindTask16) &&
        !(a->kind == KindTask16 && b->kind == KindTask16 && a->parentId == b->parentId)) {
        if (a->kind == KindTask16)
            a = FindProcessRecord(a->parentId, KindProcess);
        if (b->kind == KindTask16)
            b = FindProcessRecord(b->parentId, KindProcess);
        if (!a || !b)
            return 0;
    }

    const ColumnKind kind = g_columnKinds[params->column];
    if (IsFigureColumn(kind) || IsTextColumn(kind)) {
        int result = IsFigureColumn(kind) ? CompareFigures(kind, *a, *b)
                                          : CompareTextCells(kind, *a, *b);
        if (!result)
            result = CompareText(a->name, b->name);
        return params->direction < 0 ? -result : result;
    }
    int result = 0;
    switch (kind) {
    case ColumnName:
        result = CompareText(a->name, b->name);
        if (!result)
            result = CompareNumbers(a->id, b->id);
        break;
    case ColumnId:
        result = CompareNumbers(a->id, b->id);
        break;
    case ColumnPriority:
        result = CompareNumbers(a->priorityClass, b->priorityClass);
        if (!result)
            result = CompareText(a->name, b->name);
        break;
    case ColumnThreads:
        result = CompareNumbers(a->threadCount, b->threadCount);
        if (!result)
            result = CompareText(a->name, b->name);
        break;
    case ColumnType:
        result = CompareNumbers(a->kind, b->kind);
        if (!result)
            result = CompareText(a->name, b->name);
        break;
    case ColumnPath:
        result = CompareText(a->path, b->path);
        if (!result)
            result = CompareNumbers(a->id, b->id);
        break;
    default: // the figure and text columns, ordered above
        break;
    }
    return params->direction < 0 ? -result : result;
}
