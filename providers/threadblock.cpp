// Builds the Thread-object block from ToolHelp32. Priorities are the numbers NT schedules by:
// the base of the process's class plus the thread's setting, saturating at the ends of the
// normal (1-15) and real-time (16-31) ranges.
#include "providers/threadblock.h"

#include <tlhelp32.h>
#include <winperf.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "core/prioritynames.h"
#include "providers/provider.h"

const PerfTitles g_threadBlockTitles = {230, 232, 784, 804, 694, 682};

namespace {

// Base priority of the process's class; 0 when the process cannot be asked.
LONG ClassBasePriority(DWORD processId)
{
    HANDLE process = OpenProcessForQuery(processId, PROCESS_QUERY_INFORMATION);
    if (!process)
        return 0;
    const DWORD priorityClass = GetPriorityClass(process);
    CloseHandle(process);
    return ClassBaseLevel(priorityClass);
}

LONG SchedulingPriority(LONG classBase, int setting)
{
    const bool realTime = classBase >= 16;
    if (setting == THREAD_PRIORITY_TIME_CRITICAL)
        return realTime ? 31 : 15;
    if (setting == THREAD_PRIORITY_IDLE)
        return realTime ? 16 : 1;
    const LONG lowest = realTime ? 16 : 1, highest = realTime ? 31 : 15;
    const LONG priority = classBase + setting;
    return priority < lowest ? lowest : priority > highest ? highest : priority;
}

LONG ThreadPriority(const THREADENTRY32 &entry, LONG classBase)
{
    if (!classBase || !g_ntApi.OpenThread)
        return entry.tpBasePri;
    HANDLE thread = g_ntApi.OpenThread(THREAD_QUERY_INFORMATION, FALSE, entry.th32ThreadID);
    if (!thread)
        thread = g_ntApi.OpenThread(0x0800 /* THREAD_QUERY_LIMITED_INFORMATION */, FALSE,
                                entry.th32ThreadID);
    if (!thread)
        return entry.tpBasePri;
    const int setting = GetThreadPriority(thread);
    CloseHandle(thread);
    return setting == THREAD_PRIORITY_ERROR_RETURN ? entry.tpBasePri
                                                   : SchedulingPriority(classBase, setting);
}

struct ThreadSample {
    DWORD id;
    LONG priority;
};

struct ThreadList {
    ThreadSample *items;
    size_t count;
    size_t capacity;
};

bool Append(ThreadList *list, const ThreadSample &sample)
{
    if (list->count == list->capacity) {
        const size_t capacity = list->capacity ? list->capacity * 2 : 32;
        void *grown = std::realloc(list->items, capacity * sizeof(ThreadSample));
        if (!grown)
            return false;
        list->items = static_cast<ThreadSample *>(grown);
        list->capacity = capacity;
    }
    list->items[list->count++] = sample;
    return true;
}

// ---- Laying out the block -------------------------------------------------------------------

const size_t kInstanceNameRoom = 24; // UTF-16 decimal number of up to 10 digits, padded to 8

size_t Pad8(size_t n)
{
    return (n + 7) & ~static_cast<size_t>(7);
}

template <typename T> void Put(BYTE *at, const T &value)
{
    std::memcpy(at, &value, sizeof value);
}

size_t ObjectHeaderSize(DWORD counters)
{
    return sizeof(PerfObjectType) + counters * sizeof(PerfCounterDefinition);
}

size_t InstanceSize(DWORD counters)
{
    return sizeof(PerfInstanceDefinition) + kInstanceNameRoom +
           Pad8(sizeof(PerfCounterBlock) + counters * sizeof(DWORD));
}

// Object header and counter definitions, each counter a 32-bit raw count in title order.
void PutObjectHeader(BYTE *at, size_t total, DWORD title, const DWORD *counters, DWORD count,
                     LONG instances)
{
    PerfObjectType object = {};
    object.TotalByteLength = static_cast<uint32_t>(total);
    object.DefinitionLength = static_cast<uint32_t>(ObjectHeaderSize(count));
    object.HeaderLength = sizeof object;
    object.ObjectNameTitleIndex = title;
    object.ObjectHelpTitleIndex = title + 1;
    object.DetailLevel = PERF_DETAIL_NOVICE;
    object.NumCounters = count;
    object.DefaultCounter = -1;
    object.NumInstances = instances;
    Put(at, object);
    for (DWORD i = 0; i < count; ++i) {
        PerfCounterDefinition counter = {};
        counter.ByteLength = sizeof counter;
        counter.CounterNameTitleIndex = counters[i];
        counter.CounterHelpTitleIndex = counters[i] + 1;
        counter.DetailLevel = PERF_DETAIL_NOVICE;
        counter.CounterType = PERF_COUNTER_RAWCOUNT;
        counter.CounterSize = sizeof(DWORD);
        counter.CounterOffset = static_cast<uint32_t>(sizeof(PerfCounterBlock) + i * sizeof(DWORD));
        Put(at + sizeof object + i * sizeof counter, counter);
    }
}

// One instance named by a decimal number, then its counter block; returns the bytes written.
size_t PutInstance(BYTE *at, DWORD name, DWORD parentTitle, const DWORD *values, DWORD count)
{
    char text[16];
    const int length = std::snprintf(text, sizeof text, "%lu", static_cast<unsigned long>(name));
    PerfInstanceDefinition instance = {};
    instance.ByteLength = sizeof instance + kInstanceNameRoom;
    instance.ParentObjectTitleIndex = parentTitle;
    instance.ParentObjectInstance = 0;
    instance.UniqueID = PERF_NO_UNIQUE_ID;
    instance.NameOffset = sizeof instance;
    instance.NameLength = static_cast<uint32_t>((length + 1) * sizeof(WCHAR));
    Put(at, instance);
    for (int i = 0; i < length; ++i)
        Put(at + sizeof instance + i * sizeof(WCHAR), static_cast<WCHAR>(text[i]));

    BYTE *block = at + instance.ByteLength;
    const PerfCounterBlock counters = {
        static_cast<uint32_t>(Pad8(sizeof(PerfCounterBlock) + count * sizeof(DWORD)))};
    Put(block, counters);
    for (DWORD i = 0; i < count; ++i)
        Put(block + sizeof counters + i * sizeof(DWORD), values[i]);
    return instance.ByteLength + counters.ByteLength;
}

// A Process object with the process (when its class is known) and a Thread object with its
// threads, as the system lays them out.
void *LayOutBlock(DWORD processId, LONG classBase, const ThreadList &threads,
                  const PerfTitles &titles, size_t *size)
{
    const DWORD processCounters[] = {titles.idProcess, titles.priorityBase};
    const DWORD threadCounters[] = {titles.idProcess, titles.idThread, titles.priorityCurrent,
                                    titles.priorityBase};
    const DWORD processCount = 2, threadCount = 4;
    const LONG processInstances = classBase ? 1 : 0;

    if (threads.count > 0x7FFFFFFF / InstanceSize(threadCount))
        return nullptr; // beyond what the 32-bit lengths of a block can describe
    const size_t processBytes = ObjectHeaderSize(processCount) +
                                (classBase ? InstanceSize(processCount) : 0);
    const size_t threadBytes = ObjectHeaderSize(threadCount) +
                               threads.count * InstanceSize(threadCount);
    const size_t total = sizeof(PerfDataBlock) + processBytes + threadBytes;
    BYTE *data = static_cast<BYTE *>(std::calloc(1, total));
    if (!data)
        return nullptr;

    PerfDataBlock header = {};
    std::memcpy(header.Signature, "P\0E\0R\0F\0", sizeof header.Signature);
    header.LittleEndian = 1;
    header.Version = PERF_DATA_VERSION;
    header.Revision = PERF_DATA_REVISION;
    header.TotalByteLength = static_cast<uint32_t>(total);
    header.HeaderLength = sizeof header;
    header.NumObjectTypes = 2;
    header.DefaultObject = static_cast<int32_t>(titles.threadObject);
    SYSTEMTIME now;
    GetSystemTime(&now);
    static_assert(sizeof now == sizeof header.SystemTime, "SYSTEMTIME");
    std::memcpy(header.SystemTime, &now, sizeof now);
    Put(data, header);

    BYTE *at = data + sizeof header;
    PutObjectHeader(at, processBytes, titles.processObject, processCounters, processCount,
                    processInstances);
    if (classBase) {
        const DWORD values[] = {processId, static_cast<DWORD>(classBase)};
        PutInstance(at + ObjectHeaderSize(processCount), processId, 0, values, processCount);
    }
    at += processBytes;

    PutObjectHeader(at, threadBytes, titles.threadObject, threadCounters, threadCount,
                    static_cast<LONG>(threads.count));
    BYTE *instance = at + ObjectHeaderSize(threadCount);
    for (size_t i = 0; i < threads.count; ++i) {
        // No dynamic boost is visible here, so the current priority is the base one.
        const DWORD priority = static_cast<DWORD>(threads.items[i].priority);
        const DWORD values[] = {processId, threads.items[i].id, priority, priority};
        instance += PutInstance(instance, static_cast<DWORD>(i), titles.processObject, values,
                                threadCount);
    }
    *size = total;
    return data;
}

} // namespace

void *BuildThreadBlock(DWORD processId, const PerfTitles &titles, size_t *size)
{
    *size = 0;
    const ToolhelpApi &api = g_toolhelpApi;
    if (!api.CreateToolhelp32Snapshot || !api.Thread32First || !api.Thread32Next)
        return nullptr;
    const LONG classBase = ClassBasePriority(processId);
    HANDLE snapshot = api.CreateToolhelp32Snapshot(TH32CS_SNAPTHREAD, 0);
    if (snapshot == INVALID_HANDLE_VALUE)
        return nullptr;

    ThreadList threads = {};
    bool complete = true;
    THREADENTRY32 entry;
    entry.dwSize = sizeof entry;
    for (BOOL more = api.Thread32First(snapshot, &entry); more && complete;
         more = api.Thread32Next(snapshot, &entry)) {
        if (entry.th32OwnerProcessID == processId)
            complete = Append(&threads, {entry.th32ThreadID, ThreadPriority(entry, classBase)});
        entry.dwSize = sizeof entry;
    }
    CloseHandle(snapshot);
    void *block = complete ? LayOutBlock(processId, classBase, threads, titles, size) : nullptr;
    std::free(threads.items);
    return block;
}
