// UTC file times as the user's local date and time, with the daylight-saving rule that was in
// force at that moment rather than today's offset.
#pragma once
#include <windows.h>

// `utc` in the zone `zone` (null: the system's current zone). Uses the zone's rules where the
// system can apply them, today's offset where it cannot (Windows 9x). False when the time does
// not convert.
bool UtcToLocalFields(const FILETIME &utc, const TIME_ZONE_INFORMATION *zone, SYSTEMTIME *local);
