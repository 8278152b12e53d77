// Fuzzing the performance-data walker and the name-table lookup.
// Parser under test: providers/perfwalk.cpp
//
// Besides the sanitizers' checks, each input is checked for what the walk promises: every
// visited thread has a non-zero id and a priority name in range, the returned count matches the
// visits, and a block cut short yields a prefix of what the whole block yields.
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

#include "providers/perfwalk.h"
#include "tests/fuzz/fuzz.h"

namespace {

const PerfTitles kTitles = {230, 232, 784, 804, 694, 682};

void Visit(void *context, const PerfThread &thread)
{
    std::vector<uint32_t> &ids = *static_cast<std::vector<uint32_t> *>(context);
    FuzzCheck(thread.threadId != 0, "a visited thread has an id");
    const int name = PerfPriorityName(thread);
    FuzzCheck(name >= -1 && name <= 6, "the priority name is one of seven or none");
    ids.push_back(thread.threadId);
}

std::vector<uint32_t> WalkCopy(const uint8_t *data, size_t size, uint32_t processId)
{
    const FuzzCopy copy(data, size);
    std::vector<uint32_t> ids;
    const size_t count = WalkPerfThreads(copy.data(), copy.size(), kTitles, processId, Visit, &ids);
    FuzzCheck(count == ids.size(), "the count is the number of visits");
    PerfBlockHasObject(copy.data(), copy.size(), kTitles.threadObject);
    return ids;
}

void CheckOne(const uint8_t *data, size_t size)
{
    // The process id comes from the block, so that seeds can reach their threads.
    const uint32_t processId = size > 0 ? data[size - 1] % 4 : 0;
    const std::vector<uint32_t> whole = WalkCopy(data, size, processId);
    const size_t cut = size > 1 ? (data[0] * 131u + size * 7u) % size : 0;
    const std::vector<uint32_t> part = WalkCopy(data, cut, processId);
    FuzzCheck(part.size() <= whole.size() && std::equal(part.begin(), part.end(), whole.begin()),
              "a block cut short yields a prefix of the whole block's threads");

    const FuzzCopy table(data, size);
    FindPerfTitleIndex(table.data(), table.size(), "Thread");
    FindPerfTitleIndex(table.data(), table.size(), "id process");
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    CheckOne(data, size);
    return 0;
}

namespace {

// ---- Seed blocks ----------------------------------------------------------------------------

struct Writer {
    std::vector<uint8_t> b;
    template <typename T> void Put(size_t at, T value) { std::memcpy(&b[at], &value, sizeof value); }
    template <typename T> void Add(T value) { b.resize(b.size() + sizeof value); Put(b.size() - sizeof value, value); }
};

// A Process object and a Thread object (order chosen), threads of processes 1 to 3.
std::vector<uint8_t> SeedBlock(bool processFirst, int threads, int nameBytes, bool noInstances)
{
    Writer w;
    w.b.resize(sizeof(PerfDataBlock));
    std::memcpy(w.b.data(), "P\0E\0R\0F\0", 8);
    w.Put<uint32_t>(offsetof(PerfDataBlock, HeaderLength), sizeof(PerfDataBlock));
    w.Put<uint32_t>(offsetof(PerfDataBlock, NumObjectTypes), 2);
    for (int pass = 0; pass < 2; ++pass) {
        const bool process = (pass == 0) == processFirst;
        const std::vector<uint32_t> counters =
            process ? std::vector<uint32_t>{784, 682}
                    : std::vector<uint32_t>{784, 804, 694, 682};
        const size_t start = w.b.size();
        w.b.resize(start + sizeof(PerfObjectType));
        for (size_t i = 0; i < counters.size(); ++i) {
            PerfCounterDefinition c = {};
            c.ByteLength = sizeof c;
            c.CounterNameTitleIndex = counters[i];
            c.CounterOffset = static_cast<uint32_t>(4 + 4 * i);
            w.Add(c);
        }
        const int count = process ? 3 : threads;
        const bool single = !process && noInstances;
        for (int i = 0; i < (single ? 1 : count); ++i) {
            if (!single) {
                PerfInstanceDefinition d = {};
                d.ByteLength = static_cast<uint32_t>(sizeof d + nameBytes);
                d.NameOffset = sizeof d;
                d.NameLength = static_cast<uint32_t>(nameBytes);
                w.Add(d);
                w.b.resize(w.b.size() + nameBytes, 'n');
            }
            w.Add<uint32_t>(static_cast<uint32_t>(4 + 4 * counters.size()));
            w.Add<uint32_t>(static_cast<uint32_t>(1 + i % 3));
            if (!process)
                w.Add<uint32_t>(static_cast<uint32_t>(100 + i));
            w.Add<uint32_t>(static_cast<uint32_t>(8 + i % 3));
            if (!process)
                w.Add<uint32_t>(8);
        }
        PerfObjectType o = {};
        o.TotalByteLength = static_cast<uint32_t>(w.b.size() - start);
        o.DefinitionLength = static_cast<uint32_t>(sizeof o + counters.size() * sizeof(PerfCounterDefinition));
        o.HeaderLength = sizeof o;
        o.ObjectNameTitleIndex = process ? 230 : 232;
        o.NumCounters = static_cast<uint32_t>(counters.size());
        o.NumInstances = single ? kPerfNoInstances : count;
        w.Put(start, o);
    }
    w.Add<uint8_t>(static_cast<uint8_t>(threads % 4)); // the process id CheckOne picks
    return w.b;
}

} // namespace

std::vector<std::string> FuzzSeeds()
{
    std::vector<std::string> seeds;
    for (const std::vector<uint8_t> &block :
         {SeedBlock(true, 6, 10, false), SeedBlock(false, 5, 7, false), SeedBlock(true, 1, 0, true)})
        seeds.emplace_back(block.begin(), block.end());
    static const char table[] = "230\0Process\0" "232\0Thread\0" "784\0ID Process\0";
    seeds.emplace_back(table, sizeof table);
    return seeds;
}
