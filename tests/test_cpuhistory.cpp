// The processor share between two readings, the per-processor answer it is summed from, and
// the ring of samples the graphs draw.
#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>
#include <vector>

#include "providers/cpuhistory.h"

namespace {

// A per-processor answer: idle, kernel, user per processor, then the unused counters.
std::vector<uint8_t> Answer(const std::vector<ProcessorTimes> &processors)
{
    std::vector<uint8_t> answer(processors.size() * kProcessorEntrySize, 0xEE);
    for (size_t i = 0; i < processors.size(); ++i)
        std::memcpy(&answer[i * kProcessorEntrySize], &processors[i], sizeof processors[i]);
    return answer;
}

TEST(CpuHistory, ShareIsTheBusyPartOfAllProcessorsOrNoneWhenTheReadingsDoNotAddUp)
{
    struct Case {
        const char *what;
        std::vector<ProcessorTimes> before, after; // per processor
        size_t cut;                                // bytes cut off the second answer
        bool told;
        int busyTenths, kernelTenths;
    };
    const Case cases[] = {
        {"one busy processor of two, a quarter of it in the kernel",
         {{0, 0, 0}, {0, 0, 0}}, {{0, 250, 750}, {1000, 1000, 0}}, 0, true, 500, 125},
        {"all idle", {{5, 5, 0}}, {{105, 105, 0}}, 0, true, 0, 0},
        {"rounding to the nearest tenth", {{0, 0, 0}}, {{2, 3, 0}}, 0, true, 333, 333},
        {"no time passed", {{7, 9, 4}}, {{7, 9, 4}}, 0, false, 0, 0},
        {"a counter went backwards", {{0, 500, 500}}, {{0, 600, 400}}, 0, false, 0, 0},
        {"idle grew more than the kernel time", {{0, 100, 0}}, {{300, 300, 100}}, 0, false, 0, 0},
        {"an entry's idle beyond its kernel time", {{0, 0, 0}}, {{50, 40, 10}}, 0, false, 0, 0},
        {"an answer cut inside an entry", {{0, 0, 0}, {0, 0, 0}}, {{0, 10, 10}, {0, 10, 10}}, 8,
         false, 0, 0},
        {"an empty answer", {{0, 0, 0}}, {{0, 10, 10}}, kProcessorEntrySize, false, 0, 0},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.what);
        const std::vector<uint8_t> first = Answer(c.before), second = Answer(c.after);
        ProcessorTimes before = {}, after = {1, 2, 3};
        ASSERT_TRUE(SumProcessorTimes(first.data(), first.size(), &before));
        const bool summed = SumProcessorTimes(second.data(), second.size() - c.cut, &after);
        if (!summed) {
            EXPECT_EQ(after.kernel, 2u) << "a refused answer leaves the sum alone";
        }
        CpuShare share = {-1, -1};
        EXPECT_EQ(summed && CpuShareBetween(before, after, &share), c.told);
        if (c.told) {
            EXPECT_EQ(share.busyTenths, c.busyTenths);
            EXPECT_EQ(share.kernelTenths, c.kernelTenths);
        }
    }
}

// The ring keeps the newest samples; the graphs place them by the time they were taken, so a
// pause in the sampling is as wide as it lasted and is not bridged by a line.
TEST(CpuHistory, RingKeepsTheNewestSamplesAndTheGraphsPlaceThemByTime)
{
    static SampleRing ring; // zeroed: empty
    EXPECT_EQ(SampleAt(ring, 0), nullptr);
    const size_t added = kSampleRingSize + 5;
    for (size_t i = 0; i < added; ++i)
        AddSample(&ring, SystemSample{static_cast<int>(i), -1, i, 0, i * kSampleIntervalMs});
    ASSERT_EQ(ring.count, kSampleRingSize);
    EXPECT_EQ(SampleAt(ring, 0)->busyTenths, static_cast<int>(added - 1));
    EXPECT_EQ(SampleAt(ring, kSampleRingSize - 1)->busyTenths, 5) << "the oldest kept";
    EXPECT_EQ(SampleAt(ring, kSampleRingSize), nullptr);

    const uint64_t edge = SampleAt(ring, 0)->timeMs;
    EXPECT_EQ(PixelsBeforeEdge(edge, SampleAt(ring, 0)->timeMs, 3), 0);
    EXPECT_EQ(PixelsBeforeEdge(edge, SampleAt(ring, 10)->timeMs, 3), 30) << "3 pixels a second";
    EXPECT_EQ(PixelsBeforeEdge(edge, edge - 500, 3), 1) << "half a second";
    EXPECT_EQ(PixelsBeforeEdge(edge, edge + 900, 3), 0) << "newer than the edge";
    EXPECT_EQ(PixelsBeforeEdge(~0ull, 0, 1000), 1 << 30) << "ages ago, and no overflow";
    EXPECT_TRUE(SamplesJoin(*SampleAt(ring, 0), *SampleAt(ring, 1)));

    // An hour hidden: the next sample sits an hour's width right of the last, unjoined.
    SystemSample late = *SampleAt(ring, 0);
    late.timeMs += 3600 * 1000;
    AddSample(&ring, late);
    EXPECT_FALSE(SamplesJoin(*SampleAt(ring, 0), *SampleAt(ring, 1)));
    EXPECT_EQ(PixelsBeforeEdge(late.timeMs, SampleAt(ring, 1)->timeMs, 1), 3600);
    late.timeMs += kJoinedSampleMs + 1;
    AddSample(&ring, late);
    EXPECT_FALSE(SamplesJoin(*SampleAt(ring, 0), *SampleAt(ring, 1))) << "just over the limit";
    late.timeMs += kSampleIntervalMs * 2;
    AddSample(&ring, late);
    EXPECT_TRUE(SamplesJoin(*SampleAt(ring, 0), *SampleAt(ring, 1))) << "a late timer";
}

} // namespace
