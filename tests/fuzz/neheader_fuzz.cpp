// Fuzzing the NE header reader on arbitrary file images.
// Parser under test: providers/neheader.cpp
//
// Besides the sanitizers' checks: a name is reported only when there is one (not empty,
// terminated inside the buffer, nothing written past its terminator), only for an image that
// starts with "MZ", and a smaller buffer gets the same answer and a prefix of the same name.
#include <algorithm>
#include <cstring>
#include <string>
#include <vector>

#include "providers/neheader.h"
#include "tests/fuzz/fuzz.h"

namespace {

const char kUntouched = '#';

// The name read with a buffer of `nameSize` bytes, checked for staying inside it.
bool ReadName(const FuzzCopy &image, size_t nameSize, std::string *name)
{
    std::vector<char> buffer(nameSize + 1, kUntouched); // one guard byte
    const bool found = ReadNeModuleNameFromImage(image.data(), image.size(), buffer.data(), nameSize);
    FuzzCheck(buffer[nameSize] == kUntouched, "nothing is written past the buffer");
    if (!found)
        return false;
    const void *end = std::memchr(buffer.data(), '\0', nameSize);
    FuzzCheck(end != nullptr, "a name is terminated inside the buffer");
    name->assign(buffer.data(), static_cast<size_t>(static_cast<const char *>(end) - buffer.data()));
    return true;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const FuzzCopy image(data, size);
    std::string whole;
    const bool found = ReadName(image, 300, &whole);
    if (found) {
        FuzzCheck(!whole.empty(), "a name that is found is not empty");
        FuzzCheck(size >= 2 && data[0] == 'M' && data[1] == 'Z', "only an MZ image has a name");
    }
    for (size_t nameSize : {1u, 2u, 9u}) {
        std::string part;
        FuzzCheck(ReadName(image, nameSize, &part) == found, "the buffer's size does not decide");
        FuzzCheck(!found || whole.compare(0, part.size(), part) == 0,
                  "a small buffer gets a prefix of the name");
        FuzzCheck(part.size() == std::min(whole.size(), nameSize - 1), "the buffer is filled");
    }
    char untouched = kUntouched;
    FuzzCheck(!ReadNeModuleNameFromImage(image.data(), image.size(), &untouched, 0) &&
                  untouched == kUntouched,
              "an empty buffer gets nothing");
    return 0;
}

namespace {

// DOS header pointing at an NE header whose resident-name table starts with `name`.
std::string NeImage(const std::string &name)
{
    std::string image(0x70, '\0');
    image.replace(0, 2, "MZ");
    image[0x3C] = 0x40;
    image.replace(0x40, 2, "NE");
    image[0x40 + 0x26] = 0x30;
    return image + static_cast<char>(name.size()) + name + '\0';
}

} // namespace

std::vector<std::string> FuzzSeeds()
{
    std::string cut = NeImage("CUTSHORT");
    cut.resize(cut.size() - 2); // the name's length byte claims more than the image holds
    return {NeImage("KRNL386"), NeImage(std::string(255, 'N')), cut};
}
