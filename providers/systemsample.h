// Readings of the whole machine: processor share, commit charge, physical memory, the process,
// thread and handle totals, the time since start. One sampler takes a reading every
// kSampleIntervalMs and puts it, with its time, into the one history that the System
// Information view and the status bar's graphs draw. A reading costs one processor-times call
// and one memory call; the totals come from the main list's last pass.
#pragma once
#include <windows.h>

#include "providers/cpuhistory.h"

struct ProcessTotals {
    bool known;
    bool handlesKnown; // the Windows 9x walk tells no handle counts
    ULONGLONG processes, threads, handles;
};

struct SystemFigures {
    SystemSample sample; // shares and commit charge, as the history holds them
    bool memoryKnown;
    ULONGLONG physicalUsedBytes, physicalTotalBytes;
    ProcessTotals totals;
    ULONGLONG upTimeMs;
};

// Takes one reading, adds it to the history and returns it: the sampler's work, and only its,
// so that the samples keep their spacing and each share covers one interval.
const SystemFigures &TakeSystemSample();
// Reads again what needs no interval (memory, totals, up time) into the newest figures, which
// keep the newest sample's processor share; the history is left alone.
const SystemFigures &RefreshSystemFigures();
// The newest reading (all unknown before the first) and the history.
const SystemFigures &LatestSystemFigures();
const SampleRing &SystemHistory();
// Whether readings tell the processor share at all (Windows 9x without its performance
// statistics does not).
bool CpuShareAvailable();
// Ends what the readings started on Windows 9x (its statistics collection); called on exit.
void StopSystemSampling();

// What a pass over the processes met, noted by the providers for the next reading.
void NoteProcessTotals(const ProcessTotals &totals);
