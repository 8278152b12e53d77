// The one dialog host every detail view runs in. The host does what the views share: the font,
// the place beside the main list's names, the caption, the column header, the list following
// the dialog's size, F5, F2 and Ctrl+S, the automatic refresh and closing. A view is a constant
// ViewLayout: where its controls are, the hooks for what is its own, and the state it keeps while it is open.
#pragma once
#include <windows.h>
#include <commctrl.h>

#include "app/dialogs.h"

const UINT_PTR ViewRefreshTimer = 100;

struct ViewLayout;

// One open view. It lives on the stack of OpenView for as long as the dialog does.
struct ViewHost {
    const ViewLayout *layout;
    void *extra;       // the view's own state, handed to OpenView; may be null
    HWND dialog;
    HWND list;         // the control that shows the view's lines; null when it has none
    RECT savedClient;  // client area at the last resize
    bool timerStarted;
    bool ended;        // EndDialog was called; a second close asks nothing more
};

template <class T> T *ViewExtra(const ViewHost *host)
{
    return static_cast<T *>(host->extra);
}

// A view: every member may be left out. Hooks run in the dialog's thread with the open view.
struct ViewLayout {
    int listId = 0;                      // the list control; 0 = none in the template
    int headerId = 0;                    // read-only edit above the list; 0 = none
    UINT headerString = 0;               // column titles
    int tabCount = 0;
    const int *tabs = nullptr;           // dialog units, for the list and the header
    const int *refreshSeconds = nullptr; // setting with the automatic refresh interval; null = none
    bool resizable = false;              // the list keeps its right and bottom margins
    bool besideNameColumn = false;       // else placed where the template says
    bool setTitle = false;               // caption from ViewTitle, else the template's

    // After the shared set-up, before the first fill.
    void (*init)(ViewHost *host) = nullptr;
    // The first fill; also F5 and the refresh timer unless `refresh` or `tick` is given.
    void (*fill)(ViewHost *host) = nullptr;
    void (*refresh)(ViewHost *host) = nullptr; // F5
    void (*tick)(ViewHost *host) = nullptr;    // the refresh timer
    void (*save)(ViewHost *host) = nullptr;    // F2 and Ctrl+S; null = the list box as shown
    void (*open)(ViewHost *host) = nullptr;    // double click on a line of the list box
    // After the list followed a new dialog size; `listResized` tells whether its size changed.
    void (*size)(ViewHost *host, bool listResized) = nullptr;
    // WM_NOTIFY; true when the view handled it.
    bool (*notify)(ViewHost *host, const NMHDR *header) = nullptr;
    // Any other message the host leaves alone (control commands, posted events); true when the
    // view handled it.
    bool (*message)(ViewHost *host, UINT message, WPARAM wParam, LPARAM lParam) = nullptr;
    // WM_DESTROY, while the controls still exist.
    void (*destroy)(ViewHost *host) = nullptr;
};

// Runs the view modally over `owner` with `extra` as its state; returns the dialog's result.
INT_PTR OpenView(HWND owner, int templateId, const ViewLayout *layout, void *extra = nullptr);
// Opens a per-process view over the main window for the selected process, with ViewTitle set to
// prefix + its name; nothing opens without one.
INT_PTR OpenProcessView(int templateId, const char *titlePrefix, const ViewLayout *layout,
                        void *extra = nullptr);

// Handles F5, F2 and Ctrl+S for a view; true when the key did something.
bool HandleViewKey(ViewHost *host, UINT key);
// Starts (again) or stops the view's refresh timer.
void StartViewTimer(ViewHost *host, UINT milliseconds);
void StopViewTimer(ViewHost *host);
