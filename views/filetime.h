// A file's creation or last-write time as the Modules and Version views show it.
#pragma once
#include <windows.h>

enum FileTimeKind {
    FileTimeCreated = 0,
    FileTimeModified = 1, // last write
};

// Writes one time of the file as the user's short date, `separator` and the time without
// seconds, in local time, into `output` (at most `limit` characters with the terminator). When
// the file cannot be opened, reports no such time or the text does not fit, writes "---" (cut to
// the limit) and returns false.
bool FormatFileTime(const char *path, char *output, int limit, const char *separator,
                    FileTimeKind which);
