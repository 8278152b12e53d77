#include "providers/cpuhistory.h"

#include <cstring>

namespace {

// In floating point: a long interval times 1000 would not fit.
int Tenths(uint64_t part, uint64_t whole)
{
    const double tenths = 1000.0 * static_cast<double>(part) / static_cast<double>(whole) + 0.5;
    return tenths >= 1000.0 ? 1000 : static_cast<int>(tenths);
}

uint64_t ReadTime(const unsigned char *at)
{
    uint64_t value;
    std::memcpy(&value, at, sizeof value);
    return value;
}

} // namespace

bool CpuShareBetween(const ProcessorTimes &before, const ProcessorTimes &after, CpuShare *share)
{
    if (after.idle < before.idle || after.kernel < before.kernel || after.user < before.user)
        return false;
    const uint64_t idle = after.idle - before.idle;
    const uint64_t kernel = after.kernel - before.kernel;
    const uint64_t user = after.user - before.user;
    if (idle > kernel || kernel + user == 0 || kernel + user < kernel) // the last: overflow
        return false;
    const uint64_t total = kernel + user;
    share->busyTenths = Tenths(total - idle, total);
    share->kernelTenths = Tenths(kernel - idle, total);
    return true;
}

bool SumProcessorTimes(const void *data, size_t size, ProcessorTimes *sum)
{
    if (!data || size == 0 || size % kProcessorEntrySize != 0)
        return false;
    const unsigned char *entry = static_cast<const unsigned char *>(data);
    ProcessorTimes total = {};
    for (size_t offset = 0; offset < size; offset += kProcessorEntrySize) {
        const uint64_t idle = ReadTime(entry + offset);
        const uint64_t kernel = ReadTime(entry + offset + 8);
        if (idle > kernel)
            return false;
        total.idle += idle;
        total.kernel += kernel;
        total.user += ReadTime(entry + offset + 16);
    }
    if (total.idle > total.kernel) // the sum wrapped
        return false;
    *sum = total;
    return true;
}

void AddSample(SampleRing *ring, const SystemSample &sample)
{
    ring->samples[ring->next] = sample;
    ring->next = (ring->next + 1) % kSampleRingSize;
    if (ring->count < kSampleRingSize)
        ++ring->count;
}

const SystemSample *SampleAt(const SampleRing &ring, size_t age)
{
    if (age >= ring.count)
        return nullptr;
    return &ring.samples[(ring.next + kSampleRingSize - 1 - age) % kSampleRingSize];
}

int PixelsBeforeEdge(uint64_t edgeMs, uint64_t sampleMs, int pixelsPerSecond)
{
    if (sampleMs >= edgeMs || pixelsPerSecond <= 0)
        return 0;
    // In floating point: a long time times the scale would not fit.
    const double pixels = static_cast<double>(edgeMs - sampleMs) * pixelsPerSecond / 1000.0;
    const double farthest = 1 << 30; // far past any graph, and still an int
    return static_cast<int>(pixels < farthest ? pixels : farthest);
}

bool SamplesJoin(const SystemSample &newer, const SystemSample &older)
{
    return newer.timeMs >= older.timeMs && newer.timeMs - older.timeMs <= kJoinedSampleMs;
}
