// Turns the object-manager names the system gives file handles into the drive-letter paths users
// know: Windows names a file "\Device\HarddiskVolume2\dir\file", Wine "\??\C:\dir\file"; both
// become "C:\dir\file". Pure: the drives' device names are handed in (the caller reads them with
// QueryDosDevice), so the mapping can be checked against any table.
#pragma once
#include <cstddef>

struct DriveDevice {
    char letter;            // 'A'..'Z'
    const char *device;     // what the letter stands for, e.g. "\Device\HarddiskVolume2"
};

// Writes the drive-letter form of `path` into `out` (`size` bytes, at least 1); a path that names
// no drive is copied as it is. The result is cut to fit.
void MapDevicePath(const char *path, const DriveDevice *drives, size_t driveCount, char *out,
                   size_t size);
