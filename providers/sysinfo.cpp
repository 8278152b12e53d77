#include "providers/sysinfo.h"

#include <algorithm>
#include <cstdlib>

#include "providers/provider.h"

namespace {

const int kSystemProcessInformation = 5;
const LONG kStatusInfoLengthMismatch = static_cast<LONG>(0xC0000004);
const LONG kStatusBufferTooSmall = static_cast<LONG>(0xC0000023);
const LONG kStatusBufferOverflow = static_cast<LONG>(0x80000005);

// The block grows by doubling from the first size to the last; it is kept between calls, so a
// steady refresh allocates nothing.
const ULONG kFirstBlockSize = 64 * 1024;
const ULONG kLastBlockSize = 64 * 1024 * 1024;
void *g_block;
ULONG g_blockSize;

bool TooSmall(LONG status)
{
    return status == kStatusInfoLengthMismatch || status == kStatusBufferTooSmall ||
           status == kStatusBufferOverflow;
}

bool GrowBlock()
{
    const ULONG size = g_blockSize ? g_blockSize * 2 : kFirstBlockSize;
    if (size > kLastBlockSize)
        return false;
    void *block = std::realloc(g_block, size);
    if (!block)
        return false;
    g_block = block;
    g_blockSize = size;
    return true;
}

// The filled part of the block, or 0 when the query cannot be answered.
ULONG QueryBlock()
{
    if (!g_ntApi.NtQuerySystemInformation || (!g_block && !GrowBlock()))
        return 0;
    for (;;) {
        ULONG returned = 0;
        const LONG status = g_ntApi.NtQuerySystemInformation(kSystemProcessInformation, g_block,
                                                             g_blockSize, &returned);
        if (status >= 0)
            return returned && returned <= g_blockSize ? returned : g_blockSize;
        if (!TooSmall(status) || !GrowBlock())
            return 0;
    }
}

void Collect(void *context, const SysProcessEntry &entry)
{
    static_cast<std::vector<SysProcessEntry> *>(context)->push_back(entry);
}

bool ById(const SysProcessEntry &a, const SysProcessEntry &b)
{
    return a.id < b.id;
}

// A time in 100 ns units that only moves forward: the performance counter, else the
// milliseconds since the system started. Setting the clock, by hand or by a time server, moves
// neither, so an interval between two passes is the time that really passed.
ULONGLONG MonotonicNow()
{
    static LARGE_INTEGER frequency;
    static bool asked;
    if (!asked) {
        if (!QueryPerformanceFrequency(&frequency))
            frequency.QuadPart = 0;
        asked = true;
    }
    const ULONGLONG kUnitsPerSecond = 10000000;
    LARGE_INTEGER count;
    if (frequency.QuadPart > 0 && QueryPerformanceCounter(&count) && count.QuadPart >= 0) {
        const ULONGLONG ticks = count.QuadPart, perSecond = frequency.QuadPart;
        return ticks / perSecond * kUnitsPerSecond +
               ticks % perSecond * kUnitsPerSecond / perSecond;
    }
    const ULONGLONG ms = g_ntApi.GetTickCount64 ? g_ntApi.GetTickCount64() : GetTickCount();
    return ms * 10000;
}

} // namespace

bool TakeProcessSnapshot(ProcessSnapshot *snapshot)
{
    snapshot->entries.clear();
    snapshot->takenAt = MonotonicNow();
    const ULONG filled = QueryBlock();
    if (!filled)
        return false;
    WalkSysProcesses(g_block, filled, *SysProcessLayoutFor(sizeof(void *)), Collect,
                     &snapshot->entries);
    std::sort(snapshot->entries.begin(), snapshot->entries.end(), ById);
    return !snapshot->entries.empty();
}

const SysProcessEntry *FindSnapshotEntry(const ProcessSnapshot &snapshot, DWORD id)
{
    SysProcessEntry key = {};
    key.id = id;
    auto found = std::lower_bound(snapshot.entries.begin(), snapshot.entries.end(), key, ById);
    return found != snapshot.entries.end() && found->id == id ? &*found : nullptr;
}

int CpuShareTenths(ULONGLONG previousCpu, ULONGLONG cpu, ULONGLONG previousTime, ULONGLONG time,
                   unsigned processors)
{
    if (time <= previousTime || cpu < previousCpu || processors == 0)
        return -1;
    // In floating point: the product of a long interval and many processors would not fit.
    const double share = 1000.0 * static_cast<double>(cpu - previousCpu) /
                         (static_cast<double>(time - previousTime) * processors);
    return share >= 1000.0 ? 1000 : static_cast<int>(share + 0.5);
}

unsigned CountProcessors(GetActiveProcessorCountFn activeCount, GetNativeSystemInfoFn nativeInfo)
{
    const WORD kAllGroups = 0xFFFF; // ALL_PROCESSOR_GROUPS
    if (activeCount) {
        const DWORD count = activeCount(kAllGroups);
        if (count)
            return count;
    }
    SYSTEM_INFO info = {};
    if (nativeInfo)
        nativeInfo(&info);
    if (!info.dwNumberOfProcessors)
        GetSystemInfo(&info);
    return info.dwNumberOfProcessors ? info.dwNumberOfProcessors : 1;
}
