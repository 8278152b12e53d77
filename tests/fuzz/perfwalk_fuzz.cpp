// Fuzzing the performance-data walker and the name-table lookup (native build, not part of the
// test executable).
//
// Standalone (any compiler; random mutations of built-in seed blocks), from the repository root:
//   g++ -std=c++17 -g -O1 -I. -fsanitize=address,undefined -fno-sanitize-recover=all
//       tests/fuzz/perfwalk_fuzz.cpp providers/perfwalk.cpp -o /tmp/perfwalk_mut
//   /tmp/perfwalk_mut [seconds] [random seed]
// With libFuzzer (clang), starting from the same seeds:
//   clang++ -std=c++17 -g -O1 -I. -fsanitize=fuzzer,address,undefined -DPERFWALK_LIBFUZZER
//       tests/fuzz/perfwalk_fuzz.cpp providers/perfwalk.cpp -o /tmp/perfwalk_fuzz
//   mkdir -p /tmp/perfwalk_corpus && /tmp/perfwalk_mut --write-seeds /tmp/perfwalk_corpus
//   /tmp/perfwalk_fuzz -max_total_time=300 -max_len=4096 /tmp/perfwalk_corpus
//
// Besides the sanitizers' checks, each input is checked for what the walk promises: every
// visited thread has a non-zero id and a priority name in range, the returned count matches the
// visits, and a block cut short yields a prefix of what the whole block yields.
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <random>
#include <string>
#include <vector>

#include "providers/perfwalk.h"

namespace {

const PerfTitles kTitles = {230, 232, 784, 804, 694, 682};

void Visit(void *context, const PerfThread &thread)
{
    std::vector<uint32_t> &ids = *static_cast<std::vector<uint32_t> *>(context);
    if (thread.threadId == 0)
        std::abort();
    const int name = PerfPriorityName(thread);
    if (name < -1 || name > 6)
        std::abort();
    ids.push_back(thread.threadId);
}

std::vector<uint32_t> WalkCopy(const uint8_t *data, size_t size, uint32_t processId)
{
    // An exactly-sized heap copy, so the address sanitizer sees any read past the end.
    std::vector<uint8_t> copy(data, data + size);
    std::vector<uint32_t> ids;
    const size_t count = WalkPerfThreads(copy.empty() ? nullptr : copy.data(), copy.size(),
                                         kTitles, processId, Visit, &ids);
    if (count != ids.size())
        std::abort();
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
    if (part.size() > whole.size() || !std::equal(part.begin(), part.end(), whole.begin()))
        std::abort();

    std::vector<char> table(data, data + size);
    FindPerfTitleIndex(table.empty() ? nullptr : table.data(), table.size(), "Thread");
    FindPerfTitleIndex(table.empty() ? nullptr : table.data(), table.size(), "id process");
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    CheckOne(data, size);
    return 0;
}

#ifndef PERFWALK_LIBFUZZER
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

std::vector<std::vector<uint8_t>> Seeds()
{
    std::vector<std::vector<uint8_t>> seeds;
    seeds.push_back(SeedBlock(true, 6, 10, false));
    seeds.push_back(SeedBlock(false, 5, 7, false));
    seeds.push_back(SeedBlock(true, 1, 0, true));
    static const char table[] = "230\0Process\0" "232\0Thread\0" "784\0ID Process\0";
    seeds.emplace_back(table, table + sizeof table);
    return seeds;
}

} // namespace

int main(int argc, char **argv)
{
    const std::vector<std::vector<uint8_t>> seeds = Seeds();
    if (argc == 3 && std::string(argv[1]) == "--write-seeds") {
        for (size_t i = 0; i < seeds.size(); ++i) {
            const std::string path = std::string(argv[2]) + "/seed" + std::to_string(i);
            FILE *file = std::fopen(path.c_str(), "wb");
            if (!file)
                return 1;
            std::fwrite(seeds[i].data(), 1, seeds[i].size(), file);
            std::fclose(file);
        }
        return 0;
    }
    const long seconds = argc > 1 ? std::atol(argv[1]) : 60;
    std::mt19937 random(argc > 2 ? static_cast<unsigned>(std::atol(argv[2])) : 1u);
    const std::time_t end = std::time(nullptr) + seconds;
    unsigned long runs = 0;
    static const uint32_t kInteresting[] = {0, 1, 3, 4, 7, 8, 24, 40, 64, 88, 0x7FFFFFFF,
                                            0x80000000u, 0xFFFFFFFFu, 0xFFFFFFFEu};
    while (std::time(nullptr) < end) {
        for (int batch = 0; batch < 1000; ++batch, ++runs) {
            std::vector<uint8_t> b = seeds[random() % seeds.size()];
            const int edits = 1 + static_cast<int>(random() % 8);
            for (int e = 0; e < edits && !b.empty(); ++e) {
                const size_t at = random() % b.size();
                switch (random() % 5) {
                case 0: b[at] = static_cast<uint8_t>(random()); break;
                case 1: b[at] ^= static_cast<uint8_t>(1u << (random() % 8)); break;
                case 2:
                    if (b.size() - at >= 4) {
                        const uint32_t v = kInteresting[random() % (sizeof kInteresting / 4)];
                        std::memcpy(&b[at & ~static_cast<size_t>(3)], &v, 4);
                    }
                    break;
                case 3: b.resize(at); break;
                default: b.insert(b.begin() + static_cast<long>(at), static_cast<uint8_t>(random())); break;
                }
            }
            CheckOne(b.data(), b.size());
        }
    }
    std::printf("%lu inputs, no fault\n", runs);
    return 0;
}
#endif
