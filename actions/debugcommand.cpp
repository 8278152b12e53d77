#include "actions/debugcommand.h"

#include <cstdio>
#include <cstring>

bool BuildDebuggerCommand(const void *data, size_t size, unsigned long processId,
                          unsigned long long event, char *command, size_t commandSize)
{
    if (!command || commandSize == 0)
        return false;
    command[0] = '\0';
    const char *text = static_cast<const char *>(data);
    const void *nul = text ? std::memchr(text, '\0', size) : nullptr;
    const size_t length = nul ? static_cast<size_t>(static_cast<const char *>(nul) - text) : size;
    char numbers[2][24];
    std::snprintf(numbers[0], sizeof numbers[0], "%lu", processId);
    std::snprintf(numbers[1], sizeof numbers[1], "%llu", event);
    size_t used = 0;
    int filled = 0;
    for (size_t i = 0; i < length; ++i) {
        const char *piece = nullptr;
        char single[2] = {text[i], '\0'};
        if (text[i] != '%') {
            piece = single;
        } else if (i + 1 < length && text[i + 1] == '%') {
            piece = "%";
            ++i;
        } else if (i + 2 < length && text[i + 1] == 'l' && text[i + 2] == 'd' && filled < 2) {
            piece = numbers[filled++];
            i += 2;
        } else {
            command[0] = '\0';
            return false;
        }
        const size_t pieceLength = std::strlen(piece);
        if (pieceLength >= commandSize - used) {
            command[0] = '\0';
            return false;
        }
        std::memcpy(command + used, piece, pieceLength + 1);
        used += pieceLength;
    }
    return true;
}

void ShortenCommand(const char *text, char *shown, size_t size)
{
    if (!shown || size == 0)
        return;
    const size_t length = text ? std::strlen(text) : 0;
    const size_t room = size - 1;
    if (length <= room || room < 8) { // too little room to cut in the middle: keep the start
        const size_t kept = length < room ? length : room;
        std::memcpy(shown, text ? text : "", kept);
        shown[kept] = '\0';
        return;
    }
    // The program's name is at the start and the process's identifier at the end: keep both.
    const size_t head = (room - 3) * 2 / 3, tail = room - 3 - head;
    std::memcpy(shown, text, head);
    std::memcpy(shown + head, "...", 3);
    std::memcpy(shown + head + 3, text + length - tail, tail + 1);
}
