#include "core/msgmap.h"

LRESULT CallDefaultProc(int defaultKind, HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    switch (defaultKind) {
    case DefaultWindow:
        return DefWindowProcA(window, message, wParam, lParam);
    case DefaultDialog:
        return DefDlgProcA(window, message, wParam, lParam);
    case DefaultMdiChild:
        return DefMDIChildProcA(window, message, wParam, lParam);
    case DefaultFrame:
        return DefFrameProcA(window, nullptr, message, wParam, lParam);
    default:
        return 0;
    }
}

LRESULT DispatchMessageMap(const MessageMap *map, HWND window, UINT message, WPARAM wParam,
                           LPARAM lParam)
{
    for (int i = 0; i < map->count; ++i)
        if (map->entries[i].message == message)
            return map->entries[i].handler(window, message, wParam, lParam);
    return CallDefaultProc(map->defaultKind, window, message, wParam, lParam);
}

LRESULT DispatchCommandMap(const CommandMap *map, HWND window, WPARAM wParam, LPARAM lParam)
{
    const WORD command = LOWORD(wParam);
    for (int i = 0; i < map->count; ++i)
        if (static_cast<WORD>(map->entries[i].command) == command)
            return map->entries[i].handler(window, wParam, HIWORD(wParam), lParam);
    return CallDefaultProc(map->defaultKind, window, WM_COMMAND, wParam, lParam);
}
