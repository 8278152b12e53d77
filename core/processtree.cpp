#include "core/processtree.h"

#include <cstdlib>

#include "core/processrecord.h"

namespace {

const long kNone = -1;

// Each record's parent as an index into the pool, kNone where the parent is outside it. A
// record's depth holds its place in the pool meanwhile, checked against the pool, since a
// record outside it keeps an old depth.
std::vector<long> ParentIndexes(const std::vector<ProcessRecord *> &pool, TreeParentFn parentOf)
{
    for (size_t i = 0; i < pool.size(); ++i)
        pool[i]->depth = static_cast<int>(i);
    std::vector<long> parents(pool.size(), kNone);
    for (size_t i = 0; i < pool.size(); ++i) {
        const ProcessRecord *parent = parentOf(pool[i]);
        const long place = parent ? parent->depth : kNone;
        if (place >= 0 && static_cast<size_t>(place) < pool.size() && pool[place] == parent &&
            place != static_cast<long>(i))
            parents[i] = place;
    }
    return parents;
}

// The order qsort sorts pool places in: the caller's order, then the pool's, so that equal
// records keep their order. The program runs on one thread; the sort's context is set just
// before each sort.
const std::vector<ProcessRecord *> *g_sortPool;
TreeOrderFn g_sortBefore;

int ComparePlaces(const void *first, const void *second)
{
    const long a = *static_cast<const long *>(first), b = *static_cast<const long *>(second);
    const std::vector<ProcessRecord *> &pool = *g_sortPool;
    if (g_sortBefore(pool[a], pool[b]))
        return -1;
    if (g_sortBefore(pool[b], pool[a]))
        return 1;
    return a < b ? -1 : (a > b ? 1 : 0);
}

void SortPlaces(std::vector<long> *places)
{
    if (places->size() > 1)
        std::qsort(places->data(), places->size(), sizeof(long), ComparePlaces);
}

// Marks every record that wants a row and every record above one. The walk up stops at a record
// already marked, so that each record is marked once and a circle of parents ends it.
std::vector<char> ShownRecords(const std::vector<ProcessRecord *> &pool,
                               const std::vector<long> &parents, TreeRowFn wantsRow)
{
    std::vector<char> shown(pool.size(), 0);
    for (size_t i = 0; i < pool.size(); ++i) {
        if (!wantsRow(pool[i]))
            continue;
        for (long step = static_cast<long>(i); step != kNone && !shown[step]; step = parents[step])
            shown[step] = 1;
    }
    for (size_t i = 0; i < pool.size(); ++i)
        if (shown[i] && !wantsRow(pool[i]))
            pool[i]->flags |= RecordTreeContext;
    return shown;
}

struct TreeWalk {
    const std::vector<ProcessRecord *> &pool;
    std::vector<std::vector<long>> children;
    std::vector<char> placed;
    std::vector<ProcessRecord *> rows;

    struct Step {
        long node;
        int depth;
        bool hidden; // below a collapsed record
    };

    // Every record below `root` once, depth first, children in their order; without recursion,
    // since a chain of parents can be thousands of records long.
    void Walk(long root)
    {
        std::vector<Step> stack = {{root, 0, false}};
        while (!stack.empty()) {
            const Step step = stack.back();
            stack.pop_back();
            if (placed[step.node])
                continue;
            placed[step.node] = 1;
            ProcessRecord *record = pool[step.node];
            const std::vector<long> &below = children[step.node];
            if (!below.empty())
                record->flags |= RecordHasChildren;
            if (!step.hidden) {
                record->depth = step.depth;
                rows.push_back(record);
            }
            const bool hide = step.hidden || (record->flags & RecordCollapsed);
            for (auto child = below.rbegin(); child != below.rend(); ++child)
                stack.push_back({*child, step.depth + 1, hide});
        }
    }
};

} // namespace

std::vector<ProcessRecord *> TreeRows(const std::vector<ProcessRecord *> &pool,
                                      TreeRowFn wantsRow, TreeParentFn parentOf,
                                      TreeOrderFn before)
{
    for (ProcessRecord *record : pool)
        record->flags &= ~(RecordHasChildren | RecordTreeContext);
    const std::vector<long> parents = ParentIndexes(pool, parentOf);
    const std::vector<char> shown = ShownRecords(pool, parents, wantsRow);

    TreeWalk walk{pool, std::vector<std::vector<long>>(pool.size()),
                  std::vector<char>(pool.size(), 0), {}};
    std::vector<long> roots;
    for (size_t i = 0; i < pool.size(); ++i) {
        if (!shown[i])
            continue;
        const long parent = parents[i];
        if (parent != kNone && shown[parent])
            walk.children[parent].push_back(static_cast<long>(i));
        else
            roots.push_back(static_cast<long>(i));
    }
    g_sortPool = &pool;
    g_sortBefore = before;
    SortPlaces(&roots);
    for (std::vector<long> &below : walk.children)
        SortPlaces(&below);

    for (long root : roots)
        walk.Walk(root);
    // What is left hangs in a circle of parents, with no root above it.
    for (size_t i = 0; i < pool.size(); ++i)
        if (shown[i] && !walk.placed[i])
            walk.Walk(static_cast<long>(i));
    return walk.rows;
}
