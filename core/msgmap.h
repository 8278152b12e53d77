// Table-driven window procedures: a constant table maps messages (or command identifiers) to
// handlers, and what no row takes goes to the default procedure the table names.
#pragma once
#include <windows.h>

typedef LRESULT (*MessageHandler)(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
typedef LRESULT (*CommandHandler)(HWND window, WPARAM wParam, WORD notifyCode, LPARAM lParam);

struct MessageEntry {
    UINT message;
    MessageHandler handler;
};

struct CommandEntry {
    UINT command; // only the low 16 bits are compared
    CommandHandler handler;
};

enum DefaultKind { DefaultWindow = 1, DefaultDialog = 2, DefaultMdiChild = 3, DefaultFrame = 4 };

struct MessageMap {
    int count;
    const MessageEntry *entries;
    int defaultKind;
};

struct CommandMap {
    int count;
    const CommandEntry *entries;
    int defaultKind;
};

LRESULT CallDefaultProc(int defaultKind, HWND window, UINT message, WPARAM wParam, LPARAM lParam);
LRESULT DispatchMessageMap(const MessageMap *map, HWND window, UINT message, WPARAM wParam,
                           LPARAM lParam);
LRESULT DispatchCommandMap(const CommandMap *map, HWND window, WPARAM wParam, LPARAM lParam);
