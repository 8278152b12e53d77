// The names of process priority classes and of thread priorities: one table each, with the
// names loaded from the string table on first use and kept for the run.
#pragma once
#include <windows.h>

// A priority class, listed from the lowest to the highest.
struct PriorityClassEntry {
    DWORD priorityClass;
    UINT textId;
    LONG baseLevel; // the base priority level of the threads of such a process
    bool sinceNt5;  // Below Normal and Above Normal exist from NT 5 on
};
extern const PriorityClassEntry kPriorityClasses[];
extern const int kPriorityClassCount;

// The class's name; "" for a class the table does not hold.
const char *PriorityClassName(DWORD priorityClass);
// The name of the table's entry `index`.
const char *PriorityClassNameAt(int index);
// The base priority level of the class; 0 for a class the table does not hold.
LONG ClassBaseLevel(DWORD priorityClass);

// The name of a thread's own priority setting, its distance from its class's base level
// (THREAD_PRIORITY_*); "" for a setting without a name.
const char *ThreadPriorityName(LONG setting);
// The same by position, in the order PerfPriorityName counts them; "" when out of range.
const char *ThreadPriorityNameAt(int index);
