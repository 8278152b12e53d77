#include "providers/neheader.h"

#include <cstdint>

namespace {

const size_t kNewHeaderPointer = 0x3C;     // DOS header: file offset of the new header
const size_t kResidentNamesPointer = 0x26; // NE header: resident-name table, from the NE header

uint16_t ReadWord(const unsigned char *p)
{
    return static_cast<uint16_t>(p[0] | (p[1] << 8));
}

uint32_t ReadLong(const unsigned char *p)
{
    return ReadWord(p) | (static_cast<uint32_t>(ReadWord(p + 2)) << 16);
}

} // namespace

bool ReadNeModuleNameFromImage(const void *data, size_t size, char *name, size_t nameSize)
{
    const unsigned char *image = static_cast<const unsigned char *>(data);
    if (!image || !name || nameSize == 0)
        return false;
    if (size < kNewHeaderPointer + 4 || image[0] != 'M' || image[1] != 'Z')
        return false;

    // Every comparison below subtracts from `size` only what is already known to fit in it, so
    // no offset taken from the image can wrap around.
    const uint32_t newHeader = ReadLong(image + kNewHeaderPointer);
    if (newHeader > size || size - newHeader < kResidentNamesPointer + 2)
        return false;
    if (image[newHeader] != 'N' || image[newHeader + 1] != 'E')
        return false;

    const size_t table = ReadWord(image + newHeader + kResidentNamesPointer);
    if (table >= size - newHeader)
        return false;
    const size_t entry = newHeader + table; // length byte, then the characters
    const size_t length = image[entry];
    if (length == 0 || length > size - entry - 1)
        return false;

    const char *text = reinterpret_cast<const char *>(image + entry + 1);
    if (text[0] == '\0')
        return false; // a counted name that starts with its terminator is empty all the same
    size_t copied = 0;
    while (copied < length && copied < nameSize - 1 && text[copied] != '\0') {
        name[copied] = text[copied];
        ++copied;
    }
    name[copied] = '\0';
    return true;
}
