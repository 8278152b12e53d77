#include "providers/systemsample.h"

#include "core/appstate.h"
#include "providers/provider.h"

namespace {

SampleRing g_history;
SystemFigures g_latest = {{-1, -1, 0, 0, 0}, false, 0, 0, {}, 0};
ProcessTotals g_totals;
ProcessorTimes g_previousTimes;
bool g_havePreviousTimes;

const int kSystemProcessorPerformanceInformation = 8;
// One answer entry per processor; a processor group holds at most 64.
const size_t kMaxProcessors = 64;

ULONGLONG FileTimeValue(const FILETIME &time)
{
    return (static_cast<ULONGLONG>(time.dwHighDateTime) << 32) | time.dwLowDateTime;
}

// Every processor's times: GetSystemTimes covers all processor groups; without it one query
// answers per processor of the program's group.
bool ReadProcessorTimes(ProcessorTimes *times)
{
    if (g_ntApi.GetSystemTimes) {
        FILETIME idle, kernel, user;
        if (!g_ntApi.GetSystemTimes(&idle, &kernel, &user))
            return false;
        *times = {FileTimeValue(idle), FileTimeValue(kernel), FileTimeValue(user)};
        return times->idle <= times->kernel;
    }
    if (!g_ntApi.NtQuerySystemInformation)
        return false;
    static unsigned char answer[kMaxProcessors * kProcessorEntrySize];
    SYSTEM_INFO info = {};
    GetSystemInfo(&info);
    DWORD processors = info.dwNumberOfProcessors;
    if (processors == 0 || processors > kMaxProcessors)
        processors = kMaxProcessors;
    ULONG returned = 0;
    if (g_ntApi.NtQuerySystemInformation(kSystemProcessorPerformanceInformation, answer,
                                         processors * kProcessorEntrySize, &returned) < 0)
        return false;
    return returned <= sizeof answer && SumProcessorTimes(answer, returned, times);
}

// The dynamic statistics of Windows 9x: a value of the StartStat key starts the collection of a
// counter, StatData then gives its latest value, StopStat ends the collection.
const char kCpuUsageCounter[] = "KERNEL\\CPUUsage";
enum StatState { StatUntried, StatStarted, StatReading, StatMissing };
StatState g_statState;

bool ReadStat(const char *keyName, DWORD *value)
{
    HKEY key;
    if (RegOpenKeyExA(HKEY_DYN_DATA, keyName, 0, KEY_READ, &key) != ERROR_SUCCESS)
        return false;
    DWORD type = 0, size = sizeof *value;
    const bool read = RegQueryValueExA(key, kCpuUsageCounter, nullptr, &type,
                                       reinterpret_cast<BYTE *>(value), &size) == ERROR_SUCCESS &&
                      size == sizeof *value;
    RegCloseKey(key);
    return read;
}

// The first value after the start covers no interval yet, so it is not used.
bool Read9xCpuPercent(DWORD *percent)
{
    if (g_statState == StatUntried) {
        DWORD ignored;
        g_statState = ReadStat("PerfStats\\StartStat", &ignored) ? StatStarted : StatMissing;
    }
    if (g_statState == StatMissing || !ReadStat("PerfStats\\StatData", percent))
        return false;
    if (g_statState == StatStarted) {
        g_statState = StatReading;
        return false;
    }
    return *percent <= 100;
}

void ReadCpuShare(SystemSample *sample)
{
    sample->busyTenths = sample->kernelTenths = -1;
    if (!IsNt) {
        DWORD percent;
        if (Read9xCpuPercent(&percent))
            sample->busyTenths = static_cast<int>(percent) * 10;
        return;
    }
    ProcessorTimes now;
    if (!ReadProcessorTimes(&now)) {
        g_havePreviousTimes = false;
        return;
    }
    CpuShare share;
    if (g_havePreviousTimes && CpuShareBetween(g_previousTimes, now, &share)) {
        sample->busyTenths = share.busyTenths;
        sample->kernelTenths = share.kernelTenths;
    }
    // A reading that went backwards becomes the start of the next interval.
    g_previousTimes = now;
    g_havePreviousTimes = true;
}

// Commit charge is what the page file and memory together have promised; its limit is their sum.
void ReadMemory(SystemFigures *figures)
{
    MEMORYSTATUSEX status = {};
    status.dwLength = sizeof status;
    if (g_ntApi.GlobalMemoryStatusEx && IsNt) {
        if (!g_ntApi.GlobalMemoryStatusEx(&status))
            return;
    } else {
        MEMORYSTATUS older = {};
        older.dwLength = sizeof older;
        GlobalMemoryStatus(&older);
        status.ullTotalPhys = older.dwTotalPhys;
        status.ullAvailPhys = older.dwAvailPhys;
        status.ullTotalPageFile = older.dwTotalPageFile;
        status.ullAvailPageFile = older.dwAvailPageFile;
    }
    if (status.ullAvailPhys > status.ullTotalPhys ||
        status.ullAvailPageFile > status.ullTotalPageFile || status.ullTotalPageFile == 0)
        return;
    figures->memoryKnown = true;
    figures->physicalTotalBytes = status.ullTotalPhys;
    figures->physicalUsedBytes = status.ullTotalPhys - status.ullAvailPhys;
    figures->sample.commitLimitBytes = status.ullTotalPageFile;
    figures->sample.commitBytes = status.ullTotalPageFile - status.ullAvailPageFile;
}

ULONGLONG UpTimeMs()
{
    return IsNt && g_ntApi.GetTickCount64 ? g_ntApi.GetTickCount64() : GetTickCount();
}

// The samples' clock: the time since start in milliseconds, carried past the 49.7 days after
// which the 32-bit tick count starts again from 0.
ULONGLONG SampleClockMs()
{
    static DWORD lastTick;
    static ULONGLONG wraps;
    const DWORD tick = GetTickCount();
    if (tick < lastTick)
        wraps += 0x100000000ull;
    lastTick = tick;
    return wraps + tick;
}

// The figures that are read at any moment; the processor share needs an interval and is left
// to the caller.
void ReadInstantFigures(SystemFigures *figures)
{
    figures->memoryKnown = false;
    figures->sample.commitBytes = figures->sample.commitLimitBytes = 0;
    ReadMemory(figures);
    figures->totals = g_totals;
    figures->upTimeMs = UpTimeMs();
}

} // namespace

const SystemFigures &TakeSystemSample()
{
    SystemFigures figures = {};
    ReadCpuShare(&figures.sample);
    ReadInstantFigures(&figures);
    figures.sample.timeMs = SampleClockMs();
    AddSample(&g_history, figures.sample);
    g_latest = figures;
    return g_latest;
}

const SystemFigures &RefreshSystemFigures()
{
    ReadInstantFigures(&g_latest);
    return g_latest;
}

const SystemFigures &LatestSystemFigures()
{
    return g_latest;
}

const SampleRing &SystemHistory()
{
    return g_history;
}

bool CpuShareAvailable()
{
    if (IsNt)
        return g_ntApi.GetSystemTimes || g_ntApi.NtQuerySystemInformation;
    if (g_statState == StatUntried)
        TakeSystemSample();
    return g_statState != StatMissing;
}

void StopSystemSampling()
{
    DWORD ignored;
    if (g_statState == StatStarted || g_statState == StatReading)
        ReadStat("PerfStats\\StopStat", &ignored);
    g_statState = StatUntried;
}

void NoteProcessTotals(const ProcessTotals &totals)
{
    g_totals = totals;
}
