// What an administrator asks about one process on the NT family: its command line, the user it
// runs as, its platform, and its startup record with the environment. Everything read from the
// other process is bounded; what cannot be read stays empty.
#pragma once
#include <windows.h>

#include "providers/procparams.h"

struct ProcessRecord;

// Reads the command line, user name and platform of a record once (the text columns' reader).
void ReadRecordTexts(ProcessRecord *record);

// True on 64-bit Windows, whichever build asks.
bool SystemIs64Bit();
// The process's width in bits: 64 or 32; 0 when it cannot be told.
int ProcessBits(DWORD processId);

enum StartupStatus {
    StartupRead,
    StartupNeedsX64,   // a 64-bit process seen from the 32-bit build
    StartupDenied,     // the process cannot be opened to read its memory
    StartupUnreadable, // it ended, or its record does not add up
};

// Texts in the ANSI code page, on the heap; null where empty.
struct StartupRecord {
    char *texts[ParamTextCount];
    unsigned long showWindow;
    bool showWindowGiven;
    char *environment; // "NAME=value" entries in the block's order, each ended by a NUL, then a NUL
    bool environmentCut; // the block was longer than the most read (1 MB): entries are missing
};

// Fills a zeroed record; free it with FreeStartupRecord whatever the answer.
StartupStatus ReadStartupRecord(DWORD processId, StartupRecord *record);
void FreeStartupRecord(StartupRecord *record);
