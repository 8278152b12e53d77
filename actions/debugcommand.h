// Builds the command that attaches the registered debugger to a process, from the registry's
// text. Pure: it knows nothing of the registry or of processes, and trusts nothing in the text.
#pragma once
#include <cstddef>

// The text at `data` (up to its first NUL or `size` bytes) with its first "%ld" replaced by the
// process identifier and its second by the event's handle value, "%%" by one '%'. False, with
// `command` emptied, for a text with any other conversion or more than two "%ld", and for a result
// that does not fit in `commandSize` bytes with its terminator.
bool BuildDebuggerCommand(const void *data, size_t size, unsigned long processId,
                          unsigned long long event, char *command, size_t commandSize);

// The text cut to at most `size` - 1 characters for a message: its start and its end with "..."
// between them, or the whole text when it fits. `shown` is always ended.
void ShortenCommand(const char *text, char *shown, size_t size);
