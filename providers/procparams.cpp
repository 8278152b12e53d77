#include "providers/procparams.h"

#include <cstdint>
#include <cstring>

namespace {

// Offsets of the fields read, for each pointer size.
struct ParamsLayout {
    size_t flags;
    size_t texts[ParamTextCount]; // counted strings: length, maximum length, buffer
    size_t environment;
    size_t windowFlags;
    size_t showWindow;
    size_t environmentSize; // present from Vista on; honoured only inside the record's length
    size_t fixedPart;       // everything up to and including the show command
};

const ParamsLayout kLayout32 = {0x08, {0x40, 0x24, 0x38, 0x70, 0x78}, 0x48, 0x68, 0x6C, 0x290,
                                0x80};
const ParamsLayout kLayout64 = {0x08, {0x70, 0x38, 0x60, 0xB0, 0xC0}, 0x80, 0xA4, 0xA8, 0x3F0,
                                0xD0};

const uint32_t kNormalised = 1;       // buffers hold addresses rather than offsets
const uint32_t kUseShowWindow = 0x1;  // STARTF_USESHOWWINDOW

const ParamsLayout &LayoutFor(int pointerSize)
{
    return pointerSize == 8 ? kLayout64 : kLayout32;
}

uint64_t ReadLittle(const unsigned char *p, size_t bytes)
{
    uint64_t value = 0;
    for (size_t i = bytes; i-- > 0;)
        value = (value << 8) | p[i];
    return value;
}

// A counted string of the record: lengths at its start, the buffer one pointer further on.
ParamTextPlace ReadTextPlace(const unsigned char *block, size_t size, size_t at, int pointerSize,
                             bool normalised, uint64_t base)
{
    ParamTextPlace place = {};
    const size_t length = static_cast<size_t>(ReadLittle(block + at, 2));
    const size_t maximum = static_cast<size_t>(ReadLittle(block + at + 2, 2));
    const uint64_t buffer = ReadLittle(block + at + pointerSize, static_cast<size_t>(pointerSize));
    if (length == 0 || buffer == 0 || length % 2 || length > maximum || length > kMaxParamBytes)
        return place;
    // A normalised buffer is an address anywhere in the process (the system may have put it
    // below the record); an offset is counted from the record, and a sum past the process's
    // address range is no place at all.
    const uint64_t highest = pointerSize == 8 ? ~0ull : 0xFFFFFFFFull;
    if (!normalised && (base > highest || buffer > highest - base))
        return place;
    place.present = true;
    place.bytes = length;
    place.address = normalised ? buffer : base + buffer;
    const uint64_t offset = place.address - base; // wraps round for an address below the record
    if (place.address >= base && offset <= size && length <= size - offset) {
        place.inBlock = true;
        place.offset = static_cast<size_t>(offset);
    }
    return place;
}

} // namespace

size_t ProcessParamsMinimum(int pointerSize)
{
    return LayoutFor(pointerSize).fixedPart;
}

bool WalkProcessParams(const void *data, size_t size, int pointerSize, unsigned long long base,
                       ProcessParamsView *view)
{
    if (!data || !view || (pointerSize != 4 && pointerSize != 8))
        return false;
    *view = ProcessParamsView();
    const ParamsLayout &layout = LayoutFor(pointerSize);
    const unsigned char *block = static_cast<const unsigned char *>(data);
    if (size < layout.fixedPart)
        return false;
    // The record's own length (its second field) bounds what belongs to it.
    const size_t length = static_cast<size_t>(ReadLittle(block + 4, 4));
    if (length < layout.fixedPart)
        return false;
    if (length < size)
        size = length;
    const bool normalised = (ReadLittle(block + layout.flags, 4) & kNormalised) != 0;
    for (int i = 0; i < ParamTextCount; ++i)
        view->texts[i] = ReadTextPlace(block, size, layout.texts[i], pointerSize, normalised, base);
    view->environment = ReadLittle(block + layout.environment, static_cast<size_t>(pointerSize));
    view->showWindowGiven = (ReadLittle(block + layout.windowFlags, 4) & kUseShowWindow) != 0;
    view->showWindow = static_cast<unsigned long>(ReadLittle(block + layout.showWindow, 4));
    if (layout.environmentSize + pointerSize <= size)
        view->environmentBytes =
            ReadLittle(block + layout.environmentSize, static_cast<size_t>(pointerSize));
    return true;
}

size_t WalkEnvironment(const void *data, size_t size, EnvironmentVisitor visit, void *user)
{
    if (!data)
        return 0;
    const unsigned char *block = static_cast<const unsigned char *>(data);
    size_t count = 0;
    size_t at = 0;
    while (at + 2 <= size) {
        size_t end = at;
        while (end + 2 <= size && (block[end] || block[end + 1]))
            end += 2;
        if (end + 2 > size || end == at) // cut off by the end, or the empty entry at the end
            break;
        if (visit)
            visit(user, at, end - at);
        ++count;
        at = end + 2;
    }
    return count;
}
