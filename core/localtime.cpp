#include "core/localtime.h"

#include "core/sysapi.h"

bool UtcToLocalFields(const FILETIME &utc, const TIME_ZONE_INFORMATION *zone, SYSTEMTIME *local)
{
    SYSTEMTIME universal;
    if (!FileTimeToSystemTime(&utc, &universal))
        return false;
    BOOL(WINAPI *toZone)(const TIME_ZONE_INFORMATION *, const SYSTEMTIME *, SYSTEMTIME *) =
        SysApi().SystemTimeToTzSpecificLocalTime;
    if (toZone && toZone(zone, &universal, local))
        return true;
    FILETIME shifted;
    return FileTimeToLocalFileTime(&utc, &shifted) && FileTimeToSystemTime(&shifted, local);
}
