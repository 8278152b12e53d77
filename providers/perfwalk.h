// The performance-data block walker: finds the threads of one process in a block laid out like
// the system's registry performance data, and looks titles up in the "Counter 009" name table.
// Pure code over (pointer, size) with no system headers, so it also builds natively for
// sanitizers and fuzzing. Every length, offset and count inside the data is untrusted: the walk
// reports only what lies wholly inside the block and never reads outside it.
#pragma once
#include <cstddef>
#include <cstdint>

// Fixed-width mirrors of the published performance-data structures. All fields are read with
// memcpy at their offsets, so a block may place them at any alignment. perfdata.cpp checks
// these layouts against the system's own declarations.
struct PerfDataBlock {
    uint16_t Signature[4]; // "PERF" in UTF-16
    uint32_t LittleEndian;
    uint32_t Version;
    uint32_t Revision;
    uint32_t TotalByteLength;
    uint32_t HeaderLength; // offset of the first object
    uint32_t NumObjectTypes;
    int32_t DefaultObject;
    uint16_t SystemTime[8];
    alignas(8) int64_t PerfTime;
    int64_t PerfFreq;
    int64_t PerfTime100nSec;
    uint32_t SystemNameLength;
    uint32_t SystemNameOffset;
};

struct PerfObjectType {
    uint32_t TotalByteLength;  // offset of the next object
    uint32_t DefinitionLength; // offset of the first instance (or the only counter block)
    uint32_t HeaderLength;     // offset of the first counter definition
    uint32_t ObjectNameTitleIndex;
    uint32_t ObjectNameTitle; // a pointer on 32-bit systems, unused in a block
    uint32_t ObjectHelpTitleIndex;
    uint32_t ObjectHelpTitle;
    uint32_t DetailLevel;
    uint32_t NumCounters;
    int32_t DefaultCounter;
    int32_t NumInstances; // kPerfNoInstances: one counter block and no instance definitions
    uint32_t CodePage;
    alignas(8) int64_t PerfTime;
    int64_t PerfFreq;
};

struct PerfCounterDefinition {
    uint32_t ByteLength;
    uint32_t CounterNameTitleIndex;
    uint32_t CounterNameTitle;
    uint32_t CounterHelpTitleIndex;
    uint32_t CounterHelpTitle;
    int32_t DefaultScale;
    uint32_t DetailLevel;
    uint32_t CounterType;
    uint32_t CounterSize;
    uint32_t CounterOffset; // from the start of the counter block
};

struct PerfInstanceDefinition {
    uint32_t ByteLength; // the counter block follows at this offset
    uint32_t ParentObjectTitleIndex;
    uint32_t ParentObjectInstance;
    int32_t UniqueID;
    uint32_t NameOffset; // UTF-16 name, NameLength bytes with its terminator
    uint32_t NameLength;
};

struct PerfCounterBlock {
    uint32_t ByteLength;
};

static_assert(sizeof(PerfDataBlock) == 88, "PerfDataBlock layout");
static_assert(sizeof(PerfObjectType) == 64, "PerfObjectType layout");
static_assert(sizeof(PerfCounterDefinition) == 40, "PerfCounterDefinition layout");
static_assert(sizeof(PerfInstanceDefinition) == 24, "PerfInstanceDefinition layout");
static_assert(sizeof(PerfCounterBlock) == 4, "PerfCounterBlock layout");

const int32_t kPerfNoInstances = -1;

// Title indices of the objects and counters the walk needs; 0 means unknown and never matches.
struct PerfTitles {
    uint32_t processObject;   // "Process"
    uint32_t threadObject;    // "Thread"
    uint32_t idProcess;       // "ID Process"
    uint32_t idThread;        // "ID Thread"
    uint32_t priorityCurrent; // "Priority Current"
    uint32_t priorityBase;    // "Priority Base"
};

// One thread of the requested process, in the order of the block.
struct PerfThread {
    uint32_t threadId;        // never 0
    int32_t currentPriority;  // dynamic priority, 0 when the block has no such counter
    int32_t basePriority;     // the thread's own base priority (class base plus its setting)
    int32_t processPriority;  // base priority of the process's class, from the Process object
    bool processPriorityKnown;
};

typedef void (*PerfThreadVisitor)(void *context, const PerfThread &thread);

// Calls `visit` for every instance of the Thread object whose ID Process is `processId` and
// whose ID Thread is not 0, in block order; returns how many it visited. The Process object,
// where the block has one, supplies the process's base priority. `visit` may be null.
size_t WalkPerfThreads(const void *data, size_t size, const PerfTitles &titles,
                       uint32_t processId, PerfThreadVisitor visit, void *context);

// True when the block is well formed up to an object titled `objectTitle` (not 0).
bool PerfBlockHasObject(const void *data, size_t size, uint32_t objectTitle);

// Offset (0..6) of the thread's priority name among "(Lowest)", "(Below Normal)", "(Normal)",
// "(Above Normal)", "(Highest)", "(Time Critical)", "(Idle)"; -1 when no name applies. The
// setting is the thread's base minus its class's base, or, with the class's base unknown, its
// current priority minus its base.
int PerfPriorityName(const PerfThread &thread);

// Looks `name` up, ignoring ASCII case, in a name table of NUL-terminated text pairs (index,
// then name) ended by an empty text. Returns the index, or 0 when absent or unreadable.
uint32_t FindPerfTitleIndex(const void *table, size_t size, const char *name);
