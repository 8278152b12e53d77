// The Version view: the version record of one file (file and product versions, company, names,
// description, language) with the file's creation and last-write times. Its reader,
// ReadVersionStrings, also composes texts: the main window's status line and the lines the
// Modules view saves.
#pragma once
#include <windows.h>

#include "providers/versionrecord.h"

// One row of a key table. A table ends with a row whose key is null.
struct VersionKey {
    int controlId;      // field that shows the value in the view; negative: a fallback row, read
                        // only when the row before it produced nothing
    const char *key;    // "FileVersion", "CompanyName", ...
    const char *format; // when composing text: how the value is written; null = "%s\t"
};

// The fields of the Version view.
extern const VersionKey g_versionViewFields[];
// The status-line summary: description (or product name, or original file name), product
// version and copyright, each written only while it fits.
extern const VersionKey StatusVersionFields[];

// Reads the values of `table` from the version record of `path`, using only the first
// translation the record lists. With a dialog, each value goes to the row's field (values of
// 260 characters or more cut at a character boundary) and the language name to its field; fields
// of missing values are left alone. Without one, the values are written one after the other into
// `output` with their formats while the whole text stays below `limit` characters; values of 260
// characters or more are left out. A file without a version record or without a translation
// table gives nothing.
void ReadVersionStrings(const char *path, HWND dialog, const VersionKey *table, char *output,
                        int limit);

// The status-line summary of an executable (StatusVersionFields); empty when the file has none.
void FormatVersionSummary(const char *path, char *output, int limit);

// Shows the Version view of `path` (copied: the caller's text may go meanwhile), owned by `owner`.
INT_PTR OpenVersionView(HWND owner, const char *path);

// Command 40019 (also a double click in the main list): the Version view of the selected
// process's executable, owned by the window that gave the command.
LRESULT OnInfoCommand(HWND window, WPARAM wParam, WORD code, LPARAM lParam);
