#include "providers/devicepath.h"

#include <cstring>

namespace {

// Prefixes that put a drive-letter path into the object manager's name space.
const char *const kDosPrefixes[] = {"\\??\\", "\\DosDevices\\", "\\\\?\\", "\\GLOBAL??\\"};

bool StartsWith(const char *text, const char *prefix, size_t length)
{
    return std::strncmp(text, prefix, length) == 0;
}

bool IsDriveLetterPath(const char *path)
{
    const char c = path[0];
    return ((c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z')) && path[1] == ':';
}

void Copy(char *out, size_t size, const char *head, size_t headLength, const char *tail)
{
    size_t used = headLength < size - 1 ? headLength : size - 1;
    std::memcpy(out, head, used);
    const size_t tailLength = std::strlen(tail);
    const size_t room = size - 1 - used;
    const size_t take = tailLength < room ? tailLength : room;
    std::memcpy(out + used, tail, take);
    out[used + take] = '\0';
}

// The drive whose device name `path` starts with, followed by a separator or its end; the
// longest such name wins, so that "\Device\HarddiskVolume10" is not taken for volume 1.
const DriveDevice *DriveOf(const char *path, const DriveDevice *drives, size_t count)
{
    const DriveDevice *best = nullptr;
    size_t bestLength = 0;
    for (size_t i = 0; i < count; ++i) {
        const char *device = drives[i].device;
        const size_t length = device ? std::strlen(device) : 0;
        if (length == 0 || length <= bestLength || !StartsWith(path, device, length))
            continue;
        if (path[length] != '\\' && path[length] != '\0')
            continue;
        best = &drives[i];
        bestLength = length;
    }
    return best;
}

} // namespace

void MapDevicePath(const char *path, const DriveDevice *drives, size_t driveCount, char *out,
                   size_t size)
{
    if (!path)
        path = "";
    for (const char *prefix : kDosPrefixes) {
        const size_t length = std::strlen(prefix);
        if (StartsWith(path, prefix, length) && IsDriveLetterPath(path + length)) {
            Copy(out, size, "", 0, path + length);
            return;
        }
    }
    const DriveDevice *drive = DriveOf(path, drives, driveCount);
    if (!drive) {
        Copy(out, size, "", 0, path);
        return;
    }
    const char head[2] = {drive->letter, ':'};
    Copy(out, size, head, 2, path + std::strlen(drive->device));
}
