#include "views/filetime.h"

#include "core/localtime.h"

bool FormatFileTime(const char *path, char *output, int limit, const char *separator,
                    FileTimeKind which)
{
    if (!output || limit <= 0)
        return false;
    bool written = false;
    HANDLE file = CreateFileA(path ? path : "", GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE,
                              nullptr, OPEN_EXISTING, 0, nullptr);
    if (file != INVALID_HANDLE_VALUE) {
        FILETIME time = {};
        SYSTEMTIME fields;
        const BOOL read = which == FileTimeCreated ? GetFileTime(file, &time, nullptr, nullptr)
                                                   : GetFileTime(file, nullptr, nullptr, &time);
        if (read && (time.dwLowDateTime || time.dwHighDateTime) &&
            UtcToLocalFields(time, nullptr, &fields) &&
            GetDateFormatA(LOCALE_USER_DEFAULT, DATE_SHORTDATE, &fields, nullptr, output, limit) > 0) {
            // The time goes after the separator only while at least its terminator still fits.
            const int used = lstrlenA(output) + lstrlenA(separator);
            if (used < limit) {
                lstrcatA(output, separator);
                written = GetTimeFormatA(LOCALE_USER_DEFAULT, TIME_NOSECONDS, &fields, nullptr,
                                         output + used, limit - used) > 0;
            }
        }
        CloseHandle(file);
    }
    if (!written)
        lstrcpynA(output, "---", limit);
    return written;
}
