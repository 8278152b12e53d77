// The list for scripts: "kelvane /list" writes the process list to standard output and
// "kelvane /list:FILE" into FILE, as tab-separated text (a line of column titles, then a line per
// process, sorted by name), with the columns the main window would show and the cells' texts. No
// window is made and the single-instance rule does not apply.
#pragma once
#include <windows.h>

#include <vector>

// Where the list goes: standard output, or the named file (kept longer than a path may be, so
// that a name too long is refused rather than cut to another).
struct ListTarget {
    bool toFile;
    char file[4 * MAX_PATH];
};

// Whether the command line's first argument is "/list" or "/list:FILE" (the whole argument, which
// may be quoted; FILE may be quoted too).
bool ParseListSwitch(const char *commandLine, ListTarget *target);
// The header and a line per process of the table, as the lines end in a file ("\r\n").
void FormatProcessList(std::vector<char> *text);
// Reads every process twice, half a second apart (the CPU column needs two readings), and writes
// the list; the exit code: 0 when the whole list was written, 1 otherwise (a file then keeps its
// earlier contents).
int RunListCommand(const ListTarget &target);
