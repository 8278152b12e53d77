// The arithmetic behind the machine's CPU and commit history: the processor share between two
// readings of the idle, kernel and user times, the sum of the per-processor times the system
// reports, and the ring of samples the graphs draw. Pure code with no system headers, so it also
// builds natively for sanitizers and fuzzing.
#pragma once
#include <cstddef>
#include <cstdint>

// Times in 100-nanosecond units since the system started; the kernel time includes the idle time.
struct ProcessorTimes {
    uint64_t idle;
    uint64_t kernel;
    uint64_t user;
};

// Shares of the whole machine in tenths of a percent (0-1000).
struct CpuShare {
    int busyTenths;   // kernel minus idle, plus user, over the total
    int kernelTenths; // kernel minus idle over the total
};

// The share used between two readings; false when it cannot be told: no time passed, a counter
// went backwards, or the idle time grew by more than the kernel time that includes it.
bool CpuShareBetween(const ProcessorTimes &before, const ProcessorTimes &after, CpuShare *share);

// Sums the times of a per-processor answer (one 48-byte entry per processor: idle, kernel and
// user time, then counters this program does not use). False, with `sum` untouched, for an
// answer that is empty, not a whole number of entries, or has an entry whose idle time exceeds
// its kernel time.
bool SumProcessorTimes(const void *data, size_t size, ProcessorTimes *sum);
const size_t kProcessorEntrySize = 48;

// One point of the history. A share of -1 is not known (the first sample, a skipped interval,
// a system that does not tell); a limit of 0 means no commit figures.
struct SystemSample {
    int busyTenths;
    int kernelTenths;
    uint64_t commitBytes;
    uint64_t commitLimitBytes;
    uint64_t timeMs; // when it was taken, in milliseconds of a clock that never wraps
};

// The history is sampled once per interval. Two neighbouring samples further apart than
// kJoinedSampleMs are not joined by the graphs: the time between them (the program was busy,
// suspended or not sampling) is drawn as a gap.
const uint64_t kSampleIntervalMs = 1000;
const uint64_t kJoinedSampleMs = kSampleIntervalMs * 5 / 2;

// How far left of the graph's right edge, which shows the time `edgeMs`, a sample taken at
// `sampleMs` is drawn, at `pixelsPerSecond`; a sample newer than the edge sits on it.
int PixelsBeforeEdge(uint64_t edgeMs, uint64_t sampleMs, int pixelsPerSecond);
// Whether the graphs join `older` to `newer` with a line.
bool SamplesJoin(const SystemSample &newer, const SystemSample &older);

// The newest samples, oldest overwritten first.
const size_t kSampleRingSize = 256;
struct SampleRing {
    SystemSample samples[kSampleRingSize];
    size_t next;  // where the next sample goes
    size_t count; // how many are held, up to kSampleRingSize
};

void AddSample(SampleRing *ring, const SystemSample &sample);
// The sample `age` places back from the newest (0 = the newest); null past the held ones.
const SystemSample *SampleAt(const SampleRing &ring, size_t age);
