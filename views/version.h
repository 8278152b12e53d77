// The Version view: the version record of one file (file and product versions, company, names,
// description, language) with the file's creation and last-write times. Its reader,
// ReadVersionStrings, also composes texts: the main window's status line and the lines the
// Modules view saves.
#pragma once
#include <windows.h>

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

// A file's version record, read once for several lookups.
struct VersionRecord {
    void *data;
    DWORD size;
    WORD language;  // first translation
    char table[16]; // its string table's name, "%04x%04x"
};

// True when the file has a version record with a translation table; then CloseVersionRecord
// frees it.
bool OpenVersionRecord(const char *path, VersionRecord *record);
void CloseVersionRecord(VersionRecord *record);
// Copies the value of `key` into `output` (at most limit - 1 bytes, cut at a character boundary)
// and returns its full length in bytes; 0 when the key is missing or its value empty.
int ReadVersionValue(const VersionRecord *record, const char *key, char *output, int limit);

// Shows the Version view of `path` (copied: the caller's text may go meanwhile), owned by `owner`.
INT_PTR OpenVersionView(HWND owner, const char *path);

// Command 40019 (also a double click in the main list): the Version view of the selected
// process's executable, owned by the window that gave the command.
LRESULT OnInfoCommand(HWND window, WPARAM wParam, WORD code, LPARAM lParam);
