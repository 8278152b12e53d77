// The performance-data block walker. Offsets are kept as size_t positions from the start of the
// block and every bound is checked by subtraction, so no sum of untrusted values can wrap.
#include "providers/perfwalk.h"

#include <cstring>

namespace {

// Copies a T from `offset` when it lies wholly below `limit`.
template <typename T> bool ReadAt(const uint8_t *data, size_t limit, size_t offset, T *out)
{
    if (offset > limit || limit - offset < sizeof(T))
        return false;
    std::memcpy(out, data + offset, sizeof(T));
    return true;
}

// Calls fn(offset, end, header) for each object of the block in order, until fn returns false
// or an object does not fit. `end` is where the object stops, or the end of the block when the
// block was cut short inside it.
template <typename Fn> void ForEachObject(const uint8_t *data, size_t size, Fn fn)
{
    PerfDataBlock block;
    if (!ReadAt(data, size, 0, &block) || std::memcmp(data, "P\0E\0R\0F\0", 8) != 0)
        return;
    if (block.HeaderLength < sizeof block)
        return;
    size_t offset = block.HeaderLength;
    for (uint32_t i = 0; i < block.NumObjectTypes; ++i) {
        PerfObjectType object;
        if (!ReadAt(data, size, offset, &object) || object.TotalByteLength < sizeof object)
            return;
        const size_t room = size - offset;
        const bool whole = object.TotalByteLength <= room;
        if (!fn(offset, whole ? offset + object.TotalByteLength : size, object) || !whole)
            return;
        offset += object.TotalByteLength;
    }
}

enum Quantity { kIdProcess, kIdThread, kPriorityCurrent, kPriorityBase, kQuantities };

// Where each wanted counter sits in a counter block: the last definition carrying its title.
struct CounterLayout {
    bool present[kQuantities];
    uint32_t offset[kQuantities];
};

CounterLayout FindCounters(const uint8_t *data, size_t objectOffset, size_t definitionsEnd,
                           const PerfObjectType &object, const PerfTitles &titles)
{
    const uint32_t wanted[kQuantities] = {titles.idProcess, titles.idThread,
                                          titles.priorityCurrent, titles.priorityBase};
    CounterLayout layout = {};
    if (object.HeaderLength < sizeof object || object.HeaderLength > definitionsEnd - objectOffset)
        return layout;
    size_t offset = objectOffset + object.HeaderLength;
    for (uint32_t n = 0; n < object.NumCounters; ++n) {
        PerfCounterDefinition counter;
        if (!ReadAt(data, definitionsEnd, offset, &counter) || counter.ByteLength < sizeof counter ||
            counter.ByteLength > definitionsEnd - offset)
            break;
        for (int q = 0; q < kQuantities; ++q) {
            if (wanted[q] != 0 && counter.CounterNameTitleIndex == wanted[q]) {
                layout.present[q] = true;
                layout.offset[q] = counter.CounterOffset;
                break;
            }
        }
        offset += counter.ByteLength;
    }
    return layout;
}

// The wanted counters of one counter block; false when a counter the object defines does not
// fit inside this block.
struct CounterValues {
    bool present[kQuantities];
    uint32_t value[kQuantities];
};

bool ReadCounters(const uint8_t *data, size_t blockOffset, size_t blockLength,
                  const CounterLayout &layout, CounterValues *values)
{
    *values = CounterValues();
    for (int q = 0; q < kQuantities; ++q) {
        if (!layout.present[q])
            continue;
        if (layout.offset[q] > blockLength ||
            !ReadAt(data, blockOffset + blockLength, blockOffset + layout.offset[q],
                    &values->value[q]))
            return false;
        values->present[q] = true;
    }
    return true;
}

// Length of the counter block at `offset` when it is well formed and ends by `end`, else 0.
size_t CounterBlockLength(const uint8_t *data, size_t end, size_t offset)
{
    PerfCounterBlock block;
    if (!ReadAt(data, end, offset, &block) || block.ByteLength < sizeof block ||
        block.ByteLength > end - offset)
        return 0;
    return block.ByteLength;
}

// Calls fn(values) for the counter block of each instance of the object, in order, stopping at
// the first instance that does not fit.
template <typename Fn>
void ForEachInstance(const uint8_t *data, size_t objectOffset, size_t objectEnd,
                     const PerfObjectType &object, const PerfTitles &titles, Fn fn)
{
    if (object.DefinitionLength > objectEnd - objectOffset)
        return;
    const size_t first = objectOffset + object.DefinitionLength;
    const CounterLayout layout = FindCounters(data, objectOffset, first, object, titles);
    CounterValues values;

    if (object.NumInstances == kPerfNoInstances) {
        const size_t length = CounterBlockLength(data, objectEnd, first);
        if (length && ReadCounters(data, first, length, layout, &values))
            fn(values);
        return;
    }
    size_t offset = first;
    for (int32_t i = 0; i < object.NumInstances; ++i) {
        PerfInstanceDefinition instance;
        if (!ReadAt(data, objectEnd, offset, &instance) || instance.ByteLength < sizeof instance ||
            instance.ByteLength > objectEnd - offset)
            return;
        offset += instance.ByteLength;
        const size_t length = CounterBlockLength(data, objectEnd, offset);
        if (!length)
            return;
        if (ReadCounters(data, offset, length, layout, &values))
            fn(values);
        offset += length;
    }
}

bool IsOfProcess(const CounterValues &values, uint32_t processId)
{
    return values.present[kIdProcess] && values.value[kIdProcess] == processId;
}

} // namespace

size_t WalkPerfThreads(const void *data, size_t size, const PerfTitles &titles,
                       uint32_t processId, PerfThreadVisitor visit, void *context)
{
    if (!data || titles.threadObject == 0 || titles.threadObject == titles.processObject)
        return 0;
    const uint8_t *bytes = static_cast<const uint8_t *>(data);

    // The Process object may follow the Thread object, so its base priority is found first.
    PerfThread thread = {};
    if (titles.processObject != 0) {
        ForEachObject(bytes, size, [&](size_t offset, size_t end, const PerfObjectType &object) {
            if (object.ObjectNameTitleIndex != titles.processObject)
                return true;
            ForEachInstance(bytes, offset, end, object, titles, [&](const CounterValues &values) {
                if (!thread.processPriorityKnown && IsOfProcess(values, processId) &&
                    values.present[kPriorityBase]) {
                    thread.processPriority = static_cast<int32_t>(values.value[kPriorityBase]);
                    thread.processPriorityKnown = true;
                }
            });
            return !thread.processPriorityKnown;
        });
    }

    size_t count = 0;
    ForEachObject(bytes, size, [&](size_t offset, size_t end, const PerfObjectType &object) {
        if (object.ObjectNameTitleIndex != titles.threadObject)
            return true;
        ForEachInstance(bytes, offset, end, object, titles, [&](const CounterValues &values) {
            if (!IsOfProcess(values, processId) || !values.present[kIdThread] ||
                values.value[kIdThread] == 0)
                return;
            thread.threadId = values.value[kIdThread];
            thread.currentPriority = static_cast<int32_t>(values.value[kPriorityCurrent]);
            thread.basePriority = static_cast<int32_t>(values.value[kPriorityBase]);
            ++count;
            if (visit)
                visit(context, thread);
        });
        return true;
    });
    return count;
}

bool PerfBlockHasObject(const void *data, size_t size, uint32_t objectTitle)
{
    if (!data || objectTitle == 0)
        return false;
    bool found = false;
    ForEachObject(static_cast<const uint8_t *>(data), size,
                  [&](size_t, size_t, const PerfObjectType &object) {
                      found = object.ObjectNameTitleIndex == objectTitle;
                      return !found;
                  });
    return found;
}

int PerfPriorityName(const PerfThread &thread)
{
    enum { kLowest, kBelowNormal, kNormal, kAboveNormal, kHighest, kTimeCritical, kIdle };
    // The saturated levels at either end of the normal and the real-time range.
    const int32_t base = thread.basePriority;
    if (base == 15 || base == 31)
        return kTimeCritical;
    if (base == 1 || base == 16)
        return kIdle;
    // The thread's own setting is how far its base lies from its class's base; the current
    // priority would also count a temporary boost. Without the class's base (no Process object,
    // or none for this process) the setting is taken as the current priority's distance from
    // the thread's base.
    const int64_t setting = thread.processPriorityKnown
                                ? static_cast<int64_t>(base) - thread.processPriority
                                : static_cast<int64_t>(thread.currentPriority) - base;
    return setting >= -2 && setting <= 2 ? static_cast<int>(setting) + kNormal : -1;
}

namespace {

// Length of the text at `p` when a NUL ends it before `end`, else -1.
ptrdiff_t TextLength(const char *p, const char *end)
{
    const void *nul = p < end ? std::memchr(p, 0, static_cast<size_t>(end - p)) : nullptr;
    return nul ? static_cast<const char *>(nul) - p : -1;
}

bool EqualIgnoringCase(const char *a, size_t length, const char *b)
{
    for (size_t i = 0; i < length; ++i, ++b) {
        char x = a[i], y = *b;
        if (x >= 'A' && x <= 'Z')
            x = static_cast<char>(x - 'A' + 'a');
        if (y >= 'A' && y <= 'Z')
            y = static_cast<char>(y - 'A' + 'a');
        if (x != y || y == '\0')
            return false;
    }
    return *b == '\0';
}

// Decimal value of the leading digits; 0 when there are none or the value exceeds 32 bits.
uint32_t ParseIndex(const char *p)
{
    uint64_t value = 0;
    for (; *p >= '0' && *p <= '9'; ++p) {
        value = value * 10 + static_cast<uint64_t>(*p - '0');
        if (value > UINT32_MAX)
            return 0;
    }
    return static_cast<uint32_t>(value);
}

} // namespace

uint32_t FindPerfTitleIndex(const void *table, size_t size, const char *name)
{
    if (!table || !name)
        return 0;
    const char *p = static_cast<const char *>(table);
    const char *const end = p + size;
    for (;;) {
        const ptrdiff_t indexLength = TextLength(p, end);
        if (indexLength <= 0)
            return 0;
        const char *title = p + indexLength + 1;
        const ptrdiff_t titleLength = TextLength(title, end);
        if (titleLength < 0)
            return 0;
        if (EqualIgnoringCase(title, static_cast<size_t>(titleLength), name))
            return ParseIndex(p);
        p = title + titleLength + 1;
    }
}
