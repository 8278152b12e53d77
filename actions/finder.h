// The Finder tool: dragged from its toolbar button over any window on the screen, it outlines
// the outermost window of the process under the pointer and, when dropped, selects that
// process's row in the main list.
#pragma once
#include <windows.h>

// Called by the main window's WM_NOTIFY for TBN_BEGINDRAG; starts a drag when the notification
// comes from the toolbar for the Finder button. Returns 0.
LRESULT OnFinderBeginDrag(HWND window, NMHDR *header);
// WM_MOUSEMOVE of the main window: while dragging, outlines the window under the pointer.
LRESULT OnFinderMouseMove(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
// WM_LBUTTONUP of the main window: ends a drag and selects the outlined window's process.
LRESULT OnFinderButtonUp(HWND window, UINT message, WPARAM wParam, LPARAM lParam);

// Moves the inverted frame to `window`, or removes it for null.
void SetFinderHighlight(HWND window);
// The window whose frame is drawn, or null.
HWND FinderHighlight();
