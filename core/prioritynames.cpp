#include "core/prioritynames.h"

#include "core/appstate.h"
#include "resource.h"

const PriorityClassEntry kPriorityClasses[] = {
    {IDLE_PRIORITY_CLASS, IDS_PRI_IDLE, 4, false},
    {BELOW_NORMAL_PRIORITY_CLASS, IDS_PRI_BELOWNORMAL, 6, true},
    {NORMAL_PRIORITY_CLASS, IDS_PRI_NORMAL, 8, false},
    {ABOVE_NORMAL_PRIORITY_CLASS, IDS_PRI_ABOVENORMAL, 10, true},
    {HIGH_PRIORITY_CLASS, IDS_PRI_HIGH, 13, false},
    {REALTIME_PRIORITY_CLASS, IDS_PRI_REALTIME, 24, false},
};
const int kPriorityClassCount = sizeof kPriorityClasses / sizeof kPriorityClasses[0];

namespace {

struct ThreadPriorityEntry {
    LONG setting;
    UINT textId;
};

// In the order PerfPriorityName counts them.
const ThreadPriorityEntry kThreadPriorities[] = {
    {THREAD_PRIORITY_LOWEST, IDS_THREAD_LOWEST},
    {THREAD_PRIORITY_BELOW_NORMAL, IDS_THREAD_BELOWNORMAL},
    {THREAD_PRIORITY_NORMAL, IDS_THREAD_NORMAL},
    {THREAD_PRIORITY_ABOVE_NORMAL, IDS_THREAD_ABOVENORMAL},
    {THREAD_PRIORITY_HIGHEST, IDS_THREAD_HIGHEST},
    {THREAD_PRIORITY_TIME_CRITICAL, IDS_THREAD_TIMECRITICAL},
    {THREAD_PRIORITY_IDLE, IDS_THREAD_IDLE},
};
const int kThreadPriorityCount = sizeof kThreadPriorities / sizeof kThreadPriorities[0];

int ClassIndex(DWORD priorityClass)
{
    for (int i = 0; i < kPriorityClassCount; ++i)
        if (kPriorityClasses[i].priorityClass == priorityClass)
            return i;
    return -1;
}

} // namespace

const char *PriorityClassNameAt(int index)
{
    if (index < 0 || index >= kPriorityClassCount)
        return "";
    return ResText(kPriorityClasses[index].textId);
}

const char *PriorityClassName(DWORD priorityClass)
{
    return PriorityClassNameAt(ClassIndex(priorityClass));
}

LONG ClassBaseLevel(DWORD priorityClass)
{
    const int index = ClassIndex(priorityClass);
    return index < 0 ? 0 : kPriorityClasses[index].baseLevel;
}

const char *ThreadPriorityNameAt(int index)
{
    if (index < 0 || index >= kThreadPriorityCount)
        return "";
    return ResText(kThreadPriorities[index].textId);
}

const char *ThreadPriorityName(LONG setting)
{
    for (int i = 0; i < kThreadPriorityCount; ++i)
        if (kThreadPriorities[i].setting == setting)
            return ThreadPriorityNameAt(i);
    return "";
}
