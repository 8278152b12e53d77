// Fuzzing the debugger command built from the registered value.
// Parser under test: actions/debugcommand.cpp
//
// Besides the sanitizers' checks: nothing is written past the command's room, a command is
// always terminated, a refused value leaves it empty, and a built command holds no '%' the value
// did not write as "%%".
#include <algorithm>
#include <cstring>
#include <string>
#include <vector>

#include "actions/debugcommand.h"
#include "tests/fuzz/fuzz.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const FuzzCopy value(data, size);
    for (size_t room : {1u, 16u, 4096u}) {
        std::vector<char> command(room + 1, '#'); // one guard byte
        const bool built =
            BuildDebuggerCommand(value.data(), value.size(), 4242, 0x1a4, command.data(), room);
        FuzzCheck(command[room] == '#', "nothing is written past the room");
        FuzzCheck(std::memchr(command.data(), '\0', room) != nullptr, "the command is terminated");
        FuzzCheck(built || command[0] == '\0', "a refused value leaves the command empty");
        const std::string text(reinterpret_cast<const char *>(data), size);
        const size_t length = text.find('\0') == std::string::npos ? size : text.find('\0');
        const size_t percents = static_cast<size_t>(
            std::count(text.begin(), text.begin() + static_cast<long>(length), '%'));
        const std::string result(command.data());
        FuzzCheck(!built || static_cast<size_t>(std::count(result.begin(), result.end(), '%')) * 2 <=
                                percents,
                  "every '%' of the command was written as \"%%\"");
    }
    return 0;
}

std::vector<std::string> FuzzSeeds()
{
    return {"\"C:\\debugger.exe\" -p %ld -e %ld", "winedbg --auto %ld %ld", "100%% %ld", "%x"};
}
