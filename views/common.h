// What every detail view shares: how it learns what to show, its title, the header line above
// its list, resizing, keys, saving, automatic refresh and closing. A list-box view is described
// by a constant ListViewSpec and run by ListViewDialogProc.
#pragma once
#include <windows.h>

const UINT_PTR ViewRefreshTimer = 100;

extern char ViewTitle[MAX_PATH];  // the view's title, or the file path for the Version view
extern DWORD CurrentProcessId;    // the process the open view shows

struct ListViewSpec {
    int listId;
    int headerId;       // read-only edit above the list; 0 = none
    UINT headerString;  // column titles
    int tabCount;
    const int *tabs;    // dialog units
    const int *refreshSeconds; // setting with the automatic refresh interval; null = none
    bool resizable;
    bool besideNameColumn;
    bool setTitle;      // take the caption from ViewTitle
    void (*fill)(HWND dialog, HWND list);
    void (*save)(HWND dialog, HWND list);  // null = SaveListBox
    // View-specific messages, seen before the shared handling; returns true when it handled the
    // message and *result holds the answer.
    bool (*extra)(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam, INT_PTR *result);
};

// Per-dialog state of a list view, kept in DWLP_USER.
struct ViewState {
    const ListViewSpec *layout;
    HWND list;
    RECT savedClient;
    bool timerStarted;
};
ViewState *GetViewState(HWND dialog);

void ApplyDbcsFont(HWND dialog);
void SetupColumnHeader(HWND dialog, int listId, int headerId, UINT stringId, int tabCount,
                       const int *tabs);
void FollowDialogSize(HWND dialog, HWND control, int width, int height, RECT *savedClient);
void PlaceBesideNameColumn(HWND dialog);

// Fills ViewTitle with prefix + the selected process's name (at most 258 characters) and
// CurrentProcessId with its identifier; returns the identifier (0 = nothing selected).
DWORD PrepareProcessView(const char *titlePrefix);
// Opens a per-process list view for the selected process; nothing opens without one.
INT_PTR OpenProcessView(int templateId, const char *titlePrefix, const ListViewSpec *layout);

// Ends a view on its close box (result 0) or Escape (result 2); true when the message was one
// of those.
bool EndViewOnClose(HWND dialog, UINT message, WPARAM wParam);

INT_PTR CALLBACK ListViewDialogProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam);
// Handles F5, F2 and Ctrl+S for a view; true when the key did something.
bool HandleViewKey(HWND dialog, UINT key);
