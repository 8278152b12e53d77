// The performance-data walker on hand-made blocks: well-formed ones with several processes and
// objects, and damaged ones, which must give the threads they can prove and nothing else.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

#include "providers/perfwalk.h"

namespace {

const PerfTitles kTitles = {10, 12, 20, 22, 24, 26};
const std::vector<uint32_t> kThreadCounters = {20, 22, 24, 26}; // pid, tid, current, base
const std::vector<uint32_t> kProcessCounters = {20, 26};        // pid, base

struct TestInstance {
    std::vector<uint32_t> values; // one per counter of the object
    std::string name = "t";
    bool terminated = true;
    size_t pad = 0; // extra bytes after the name, to move the counter block off alignment
};

struct TestObject {
    uint32_t title;
    std::vector<uint32_t> counters;
    std::vector<TestInstance> instances;
    bool noInstances = false; // one counter block, from the first instance's values
};

// Offsets of what the builder wrote, so that tests can damage it.
struct Layout {
    std::vector<size_t> objects, instances, instanceEnds;
};

template <typename T> void Poke(std::vector<uint8_t> &b, size_t at, T value)
{
    std::memcpy(&b[at], &value, sizeof value);
}

void Append(std::vector<uint8_t> &b, const void *data, size_t size)
{
    b.insert(b.end(), static_cast<const uint8_t *>(data), static_cast<const uint8_t *>(data) + size);
}

std::vector<uint8_t> Build(const std::vector<TestObject> &objects, Layout *layout = nullptr)
{
    Layout unused;
    Layout &where = layout ? *layout : unused;
    std::vector<uint8_t> b(sizeof(PerfDataBlock));
    std::memcpy(b.data(), "P\0E\0R\0F\0", 8);
    Poke<uint32_t>(b, offsetof(PerfDataBlock, HeaderLength), sizeof(PerfDataBlock));
    Poke<uint32_t>(b, offsetof(PerfDataBlock, NumObjectTypes), objects.size());
    for (const TestObject &object : objects) {
        const size_t start = b.size();
        where.objects.push_back(start);
        PerfObjectType header = {};
        header.HeaderLength = sizeof header;
        header.DefinitionLength = sizeof header + object.counters.size() * sizeof(PerfCounterDefinition);
        header.ObjectNameTitleIndex = object.title;
        header.NumCounters = object.counters.size();
        header.NumInstances =
            object.noInstances ? kPerfNoInstances : static_cast<int32_t>(object.instances.size());
        b.resize(start + sizeof header);
        for (size_t i = 0; i < object.counters.size(); ++i) {
            PerfCounterDefinition counter = {};
            counter.ByteLength = sizeof counter;
            counter.CounterNameTitleIndex = object.counters[i];
            counter.CounterSize = 4;
            counter.CounterOffset = 4 + 4 * i;
            Append(b, &counter, sizeof counter);
        }
        for (const TestInstance &instance : object.instances) {
            where.instances.push_back(b.size());
            if (!object.noInstances) {
                std::vector<uint8_t> name;
                for (char c : instance.name)
                    name.insert(name.end(), {static_cast<uint8_t>(c), 0});
                if (instance.terminated)
                    name.insert(name.end(), {0, 0});
                name.resize(name.size() + instance.pad, 0xEE);
                PerfInstanceDefinition definition = {};
                definition.ByteLength = sizeof definition + name.size();
                definition.NameOffset = sizeof definition;
                definition.NameLength = name.size() - instance.pad;
                Append(b, &definition, sizeof definition);
                Append(b, name.data(), name.size());
            }
            const uint32_t length = 4 + 4 * instance.values.size();
            Append(b, &length, 4);
            Append(b, instance.values.data(), 4 * instance.values.size());
            where.instanceEnds.push_back(b.size());
        }
        header.TotalByteLength = b.size() - start;
        std::memcpy(&b[start], &header, sizeof header);
    }
    Poke<uint32_t>(b, offsetof(PerfDataBlock, TotalByteLength), b.size());
    return b;
}

// Walks an exactly-sized copy of the first `size` bytes.
std::vector<PerfThread> Walk(const std::vector<uint8_t> &b, uint32_t pid, size_t size = SIZE_MAX,
                             const PerfTitles &titles = kTitles)
{
    const std::vector<uint8_t> copy(b.begin(), b.begin() + std::min(size, b.size()));
    std::vector<PerfThread> seen;
    const size_t count = WalkPerfThreads(
        copy.data(), copy.size(), titles, pid,
        [](void *context, const PerfThread &t) {
            static_cast<std::vector<PerfThread> *>(context)->push_back(t);
        },
        &seen);
    EXPECT_EQ(count, seen.size());
    return seen;
}

std::vector<uint32_t> Ids(const std::vector<PerfThread> &threads)
{
    std::vector<uint32_t> ids;
    for (const PerfThread &t : threads)
        ids.push_back(t.threadId);
    return ids;
}

// Two processes' threads interleaved, a thread id 0, odd name lengths and padding, a name with
// no terminator, a foreign object with the same counters, and the Process object last.
std::vector<uint8_t> MixedBlock(Layout *layout = nullptr)
{
    TestObject threads{12, kThreadCounters, {}};
    threads.instances = {
        {{7, 101, 9, 9}, "main", true, 1},
        {{8, 201, 8, 8}, "other", true, 3},
        {{7, 102, 15, 15}, "x", false, 0},
        {{7, 0, 8, 8}, "idle", true, 5},
        {{7, 103, 10, 8}, "boosted", true, 2},
    };
    TestObject foreign{99, kThreadCounters, {{{7, 555, 8, 8}}}};
    TestObject processes{10, kProcessCounters, {{{8, 13}, "p8"}, {{7, 8}, "p7", true, 1}}};
    return Build({foreign, threads, processes}, layout);
}

} // namespace

TEST(PerfWalk, FindsThreadsOfOneProcessInBlockOrder)
{
    const std::vector<PerfThread> threads = Walk(MixedBlock(), 7);
    ASSERT_EQ(Ids(threads), (std::vector<uint32_t>{101, 102, 103}));
    EXPECT_EQ(threads[0].currentPriority, 9);
    EXPECT_EQ(threads[2].currentPriority, 10);
    EXPECT_EQ(threads[2].basePriority, 8);
    for (const PerfThread &t : threads) {
        EXPECT_TRUE(t.processPriorityKnown);
        EXPECT_EQ(t.processPriority, 8);
    }
    EXPECT_EQ(Ids(Walk(MixedBlock(), 8)), (std::vector<uint32_t>{201}));
    EXPECT_EQ(Walk(MixedBlock(), 8)[0].processPriority, 13);
    EXPECT_TRUE(Walk(MixedBlock(), 9).empty());

    // Unknown titles match nothing, not the counters that carry 0.
    const std::vector<uint8_t> zeros = Build({{12, {0, 0, 0, 0}, {{{0, 0, 0, 0}}}}});
    EXPECT_TRUE(Walk(zeros, 0, SIZE_MAX, PerfTitles{0, 12, 0, 0, 0, 0}).empty());
    EXPECT_TRUE(Walk(MixedBlock(), 7, SIZE_MAX, PerfTitles{}).empty());
}

TEST(PerfWalk, InstanceKindsAndShortCounterWalks)
{
    // No instances: the one counter block is read; zero instances contribute nothing.
    TestObject single{12, kThreadCounters, {{{7, 301, 8, 8}}}, true};
    TestObject empty{12, kThreadCounters, {}};
    EXPECT_EQ(Ids(Walk(Build({empty, single}), 7)), (std::vector<uint32_t>{301}));

    // A counter block too short for the defined counters loses only its own instance.
    TestObject shortBlock{12, kThreadCounters, {{{7, 302, 8, 8}}, {{7, 303}}, {{7, 304, 8, 8}}}};
    EXPECT_EQ(Ids(Walk(Build({shortBlock}), 7)), (std::vector<uint32_t>{302, 304}));

    // A counter definition of length 0 ends the walk of the definitions.
    Layout layout;
    std::vector<uint8_t> b = Build({{12, kThreadCounters, {{{7, 401, 9, 9}}}}}, &layout);
    const size_t definitions = layout.objects[0] + sizeof(PerfObjectType);
    Poke<uint32_t>(b, definitions + 2 * sizeof(PerfCounterDefinition), 0);
    ASSERT_EQ(Ids(Walk(b, 7)), (std::vector<uint32_t>{401}));
    EXPECT_EQ(Walk(b, 7)[0].currentPriority, 0);
    Poke<uint32_t>(b, definitions + sizeof(PerfCounterDefinition), 0); // before ID Thread
    EXPECT_TRUE(Walk(b, 7).empty());
}

TEST(PerfWalk, TruncatedBlockGivesTheWholeInstancesBeforeTheCut)
{
    Layout layout;
    const std::vector<uint8_t> b = MixedBlock(&layout);
    const std::vector<uint32_t> all = {101, 102, 103};
    const size_t ownInstances[] = {1, 3, 5}; // positions of pid 7's threads among all instances
    for (size_t cut = 0; cut <= b.size(); ++cut) {
        std::vector<uint32_t> expected;
        for (size_t i = 0; i < 3; ++i)
            if (layout.instanceEnds[ownInstances[i]] <= cut)
                expected.push_back(all[i]);
        ASSERT_EQ(Ids(Walk(b, 7, cut)), expected) << "cut at " << cut;
    }
}

TEST(PerfWalk, DamagedLengthsOffsetsAndCounts)
{
    Layout layout;
    const std::vector<uint8_t> good = MixedBlock(&layout);
    const size_t threads = layout.objects[1], processes = layout.objects[2];
    struct Damage {
        const char *what;
        size_t at;
        uint32_t value;
        std::vector<uint32_t> expected;
    };
    const std::vector<Damage> damages = {
        {"signature", 0, 'X', {}},
        {"block header beyond the block", offsetof(PerfDataBlock, HeaderLength), 0x7FFFFFF0, {}},
        {"block header shorter than itself", offsetof(PerfDataBlock, HeaderLength), 8, {}},
        {"more objects than present", offsetof(PerfDataBlock, NumObjectTypes), 1000, {101, 102, 103}},
        {"object length 0", threads, 0, {}},
        {"object length past the end", threads, 0xFFFFFFF0, {101, 102, 103}},
        {"definitions past the object", threads + offsetof(PerfObjectType, DefinitionLength), 0x10000, {}},
        {"counters before the header", threads + offsetof(PerfObjectType, HeaderLength), 4, {}},
        {"more counters than defined", threads + offsetof(PerfObjectType, NumCounters), 0x7FFFFFFF, {101, 102, 103}},
        {"more instances than present", threads + offsetof(PerfObjectType, NumInstances), 0x7FFFFFFF, {101, 102, 103}},
        {"negative instance count", threads + offsetof(PerfObjectType, NumInstances), 0xFFFFFFFE, {}},
        {"instance length 0", layout.instances[2], 0, {101}},
        {"instance length past the end", layout.instances[2], 0xFFFFFFFF, {101}},
        {"counter block length 0", layout.instanceEnds[2] - 20, 0, {101}},
        {"counter block past the end", layout.instanceEnds[2] - 20, 0xFFFFFF00, {101}},
        {"counter offset outside every block",
         threads + sizeof(PerfObjectType) + offsetof(PerfCounterDefinition, CounterOffset), 0xFFFFFFFD, {}},
    };
    for (const Damage &d : damages) {
        std::vector<uint8_t> b = good;
        Poke(b, d.at, d.value);
        EXPECT_EQ(Ids(Walk(b, 7)), d.expected) << d.what;
    }
    // A damaged Process object costs only the class priority.
    std::vector<uint8_t> b = good;
    Poke<uint32_t>(b, processes + offsetof(PerfObjectType, DefinitionLength), 0xFFFF);
    const std::vector<PerfThread> found = Walk(b, 7);
    ASSERT_EQ(found.size(), 3u);
    EXPECT_FALSE(found[0].processPriorityKnown);
}

TEST(PerfWalk, PriorityNameComesFromTheThreadsSettingNotItsBoost)
{
    struct Case {
        int32_t current, base, process;
        bool known;
        int name;
    };
    const Case cases[] = {
        {15, 15, 8, true, 5},  {31, 31, 24, true, 5}, {1, 1, 8, true, 6},    {16, 16, 24, true, 6},
        {6, 6, 8, true, 0},    {7, 7, 8, true, 1},    {8, 8, 8, true, 2},    {9, 9, 8, true, 3},
        {10, 10, 8, true, 4},  {26, 26, 24, true, 4}, {13, 13, 8, true, -1}, {2, 2, 4, true, 0},
        {10, 8, 8, true, 2},   {15, 13, 13, true, 2}, {15, 15, 0, false, 5},
        // With the class's base unknown, the current priority's distance from the thread's base.
        {10, 10, 0, false, 2}, {12, 10, 0, false, 4}, {6, 7, 0, false, 1},  {13, 8, 0, false, -1},
        {0, INT32_MIN, INT32_MAX, true, -1}, {INT32_MAX, INT32_MIN, 0, false, -1},
    };
    for (const Case &c : cases) {
        const PerfThread t = {1, c.current, c.base, c.process, c.known};
        EXPECT_EQ(PerfPriorityName(t), c.name) << c.current << " " << c.base << " " << c.process;
    }
}

TEST(PerfWalk, TitleLookupStaysInsideTheTable)
{
    const char table[] = "1\0System\0" "230\0Process\0" "232\0Thread\0" "x\0Broken\0"
                         "784\0ID Process\0" "999\0thread\0";
    const size_t size = sizeof table; // ends with the empty text
    EXPECT_EQ(FindPerfTitleIndex(table, size, "thread"), 232u);
    EXPECT_EQ(FindPerfTitleIndex(table, size, "ID PROCESS"), 784u);
    EXPECT_EQ(FindPerfTitleIndex(table, size, "Broken"), 0u);
    EXPECT_EQ(FindPerfTitleIndex(table, size, "ID"), 0u);
    EXPECT_EQ(FindPerfTitleIndex(table, size, nullptr), 0u);
    // Cut anywhere, without terminators: a found index is always the right one.
    for (size_t cut = 0; cut <= size; ++cut) {
        const std::vector<char> copy(table, table + cut);
        const uint32_t found = FindPerfTitleIndex(copy.data(), cut, "ID Process");
        EXPECT_TRUE(found == 0 || found == 784u) << cut;
    }
}
