// The NT thread reader: name-table lookup, the performance-data query, the choice between the
// registry's block and the built one, and the thread lines.
#include "providers/perfdata.h"

#include <winperf.h>

#include <cstddef>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "core/appstate.h"
#include "core/prioritynames.h"
#include "providers/threadblock.h"

// The walker's mirrors must match the system's declarations on every architecture we build.
#define KV_SAME_FIELD(ours, theirs, field)                                                       \
    static_assert(offsetof(ours, field) == offsetof(theirs, field) &&                            \
                      sizeof(ours::field) == sizeof(theirs::field),                              \
                  #theirs "." #field)
static_assert(sizeof(PerfDataBlock) == sizeof(PERF_DATA_BLOCK), "PERF_DATA_BLOCK");
KV_SAME_FIELD(PerfDataBlock, PERF_DATA_BLOCK, Signature);
KV_SAME_FIELD(PerfDataBlock, PERF_DATA_BLOCK, HeaderLength);
KV_SAME_FIELD(PerfDataBlock, PERF_DATA_BLOCK, NumObjectTypes);
KV_SAME_FIELD(PerfDataBlock, PERF_DATA_BLOCK, SystemTime);
KV_SAME_FIELD(PerfDataBlock, PERF_DATA_BLOCK, PerfTime);
KV_SAME_FIELD(PerfDataBlock, PERF_DATA_BLOCK, SystemNameOffset);
static_assert(sizeof(PerfObjectType) == sizeof(PERF_OBJECT_TYPE), "PERF_OBJECT_TYPE");
KV_SAME_FIELD(PerfObjectType, PERF_OBJECT_TYPE, TotalByteLength);
KV_SAME_FIELD(PerfObjectType, PERF_OBJECT_TYPE, DefinitionLength);
KV_SAME_FIELD(PerfObjectType, PERF_OBJECT_TYPE, HeaderLength);
KV_SAME_FIELD(PerfObjectType, PERF_OBJECT_TYPE, ObjectNameTitleIndex);
KV_SAME_FIELD(PerfObjectType, PERF_OBJECT_TYPE, NumCounters);
KV_SAME_FIELD(PerfObjectType, PERF_OBJECT_TYPE, NumInstances);
KV_SAME_FIELD(PerfObjectType, PERF_OBJECT_TYPE, PerfTime);
KV_SAME_FIELD(PerfObjectType, PERF_OBJECT_TYPE, PerfFreq);
static_assert(sizeof(PerfCounterDefinition) == sizeof(PERF_COUNTER_DEFINITION),
              "PERF_COUNTER_DEFINITION");
KV_SAME_FIELD(PerfCounterDefinition, PERF_COUNTER_DEFINITION, ByteLength);
KV_SAME_FIELD(PerfCounterDefinition, PERF_COUNTER_DEFINITION, CounterNameTitleIndex);
KV_SAME_FIELD(PerfCounterDefinition, PERF_COUNTER_DEFINITION, CounterSize);
KV_SAME_FIELD(PerfCounterDefinition, PERF_COUNTER_DEFINITION, CounterOffset);
static_assert(sizeof(PerfInstanceDefinition) == sizeof(PERF_INSTANCE_DEFINITION),
              "PERF_INSTANCE_DEFINITION");
KV_SAME_FIELD(PerfInstanceDefinition, PERF_INSTANCE_DEFINITION, ByteLength);
KV_SAME_FIELD(PerfInstanceDefinition, PERF_INSTANCE_DEFINITION, NameOffset);
KV_SAME_FIELD(PerfInstanceDefinition, PERF_INSTANCE_DEFINITION, NameLength);
static_assert(sizeof(PerfCounterBlock) == sizeof(PERF_COUNTER_BLOCK), "PERF_COUNTER_BLOCK");
static_assert(kPerfNoInstances == PERF_NO_INSTANCES, "PERF_NO_INSTANCES");
#undef KV_SAME_FIELD

namespace {

LONG QueryRegistry(const char *valueName, BYTE *data, DWORD *bytes)
{
    return RegQueryValueExA(HKEY_PERFORMANCE_DATA, valueName, nullptr, nullptr, data, bytes);
}

void CloseRegistry()
{
    RegCloseKey(HKEY_PERFORMANCE_DATA);
}

const DWORD kFirstQuerySize = 16384;
const DWORD kLargestQuerySize = 64u << 20;

PerfTitles s_titles;

void ReadTitles(PerfTitles *titles)
{
    static const char kNameTable[] = "Counter 009";
    *titles = PerfTitles();
    DWORD size = 0;
    if (g_perfDataSource.query(kNameTable, nullptr, &size) != ERROR_SUCCESS || size > 0xFFFFFF00u)
        return;
    // Two NUL bytes past whatever arrives keep every text of the table terminated.
    char *table = static_cast<char *>(std::malloc(size + 2));
    if (!table)
        return;
    DWORD got = size;
    if (g_perfDataSource.query(kNameTable, reinterpret_cast<BYTE *>(table), &got) !=
            ERROR_SUCCESS ||
        got > size)
        got = 0;
    table[got] = table[got + 1] = '\0';
    const size_t length = got + 2;
    titles->processObject = FindPerfTitleIndex(table, length, "Process");
    titles->threadObject = FindPerfTitleIndex(table, length, "Thread");
    titles->idProcess = FindPerfTitleIndex(table, length, "ID Process");
    titles->idThread = FindPerfTitleIndex(table, length, "ID Thread");
    titles->priorityCurrent = FindPerfTitleIndex(table, length, "Priority Current");
    titles->priorityBase = FindPerfTitleIndex(table, length, "Priority Base");
    std::free(table);
}

bool AllTitlesKnown(const PerfTitles &t)
{
    return t.processObject && t.threadObject && t.idProcess && t.idThread && t.priorityCurrent &&
           t.priorityBase;
}

// The registry's block when it has a Thread object, else null.
void *ReadRegistryThreads(const PerfTitles &titles, size_t *size)
{
    *size = 0;
    if (!titles.threadObject)
        return nullptr;
    // The Process object comes along for the base priority of each process.
    char valueName[32];
    if (titles.processObject)
        std::snprintf(valueName, sizeof valueName, "%lu %lu",
                      static_cast<unsigned long>(titles.processObject),
                      static_cast<unsigned long>(titles.threadObject));
    else
        std::snprintf(valueName, sizeof valueName, "%lu",
                      static_cast<unsigned long>(titles.threadObject));
    void *block = QueryPerfData(valueName, size);
    if (block && !PerfBlockHasObject(block, *size, titles.threadObject)) {
        std::free(block);
        block = nullptr;
        *size = 0;
    }
    return block;
}

struct LineSink {
    ListLines *lines;
    bool hex;
};

void AddThreadLine(void *context, const PerfThread &thread)
{
    const LineSink &sink = *static_cast<const LineSink *>(context);
    if (!sink.lines)
        return;
    const char *nameText = ThreadPriorityNameAt(PerfPriorityName(thread));
    const unsigned long id = thread.threadId;
    const int priority = thread.currentPriority;
    char line[MAX_PATH];
    if (sink.hex)
        std::snprintf(line, sizeof line, "%08lx\t%d %s", id, priority, nameText);
    else
        std::snprintf(line, sizeof line, "%lu\t%d %s", id, priority, nameText);
    sink.lines->Add(line, id);
}

} // namespace

const PerfDataSource g_registryPerfData = {QueryRegistry, CloseRegistry};
PerfDataSource g_perfDataSource = g_registryPerfData;

const PerfTitles &GetPerfTitles()
{
    // The source the titles were read from; a test that brings its own gets them read again.
    static LONG (*readWith)(const char *, BYTE *, DWORD *) = nullptr;
    if (readWith != g_perfDataSource.query) {
        ReadTitles(&s_titles);
        g_perfDataSource.close();
        readWith = g_perfDataSource.query;
    }
    return s_titles;
}

void *QueryPerfData(const char *valueName, size_t *size)
{
    *size = 0;
    void *block = nullptr;
    for (DWORD capacity = kFirstQuerySize; capacity <= kLargestQuerySize; capacity *= 2) {
        // Nothing of a reply that did not fit is kept, so a fresh buffer serves.
        std::free(block);
        block = std::malloc(capacity);
        if (!block)
            break;
        DWORD bytes = capacity;
        const LONG status = g_perfDataSource.query(valueName, static_cast<BYTE *>(block), &bytes);
        if (status == ERROR_MORE_DATA)
            continue;
        if (status == ERROR_SUCCESS && bytes <= capacity && bytes >= 8 &&
            std::memcmp(block, "P\0E\0R\0F\0", 8) == 0)
            *size = bytes;
        break;
    }
    g_perfDataSource.close();
    if (*size == 0) {
        std::free(block);
        block = nullptr;
    }
    return block;
}

BOOL ListPerfThreads(DWORD processId, bool hex, ListLines *lines)
{
    PerfTitles titles = GetPerfTitles();
    size_t size = 0;
    void *block = ReadRegistryThreads(titles, &size);
    if (!block) {
        if (!AllTitlesKnown(titles))
            titles = g_threadBlockTitles;
        block = BuildThreadBlock(processId, titles, &size);
    }
    if (!block)
        return FALSE;
    LineSink sink = {lines, hex};
    const size_t count = WalkPerfThreads(block, size, titles, processId, AddThreadLine, &sink);
    std::free(block);
    return count > 0;
}
