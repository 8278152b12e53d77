// The services each process hosts, for the main list's Services column: one enumeration of the
// service manager's running services with their process identifiers (Windows 2000 and later,
// bound at run time), turned into one text per process.
#pragma once
#include <windows.h>

#include <vector>

#include "core/textcells.h"

// One running service as the enumeration gives it.
struct ServiceRow {
    const char *name;
    DWORD processId; // 0 for a service without a process (a driver, or one stopping)
};

// The processes' texts: the names of each process's services joined by ", ", in the
// enumeration's order, one entry per process, sorted by process identifier. Names are taken as
// they come; a null or empty one is skipped.
void JoinServiceNames(const ServiceRow *rows, size_t count, std::vector<ServiceText> *texts);

// Reads the running services of the machine into texts as JoinServiceNames makes them; nothing
// where the system has no such enumeration or refuses it.
void ReadServiceTexts(std::vector<ServiceText> *texts);
