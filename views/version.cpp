#include "views/version.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "core/appstate.h"
#include "core/dialoghost.h"
#include "core/processlist.h"
#include "resource.h"
#include "views/filetime.h"

const VersionKey g_versionViewFields[] = {
    {IDC_VER_FILEVERSION, "FileVersion", nullptr},
    {IDC_VER_COMPANY, "CompanyName", nullptr},
    {IDC_VER_INTERNALNAME, "InternalName", nullptr},
    {IDC_VER_PRODUCTVERSION, "ProductVersion", nullptr},
    {IDC_VER_PRODUCTNAME, "ProductName", nullptr},
    {IDC_VER_DESCRIPTION, "FileDescription", nullptr},
    {IDC_VER_ORIGINALNAME, "OriginalFilename", nullptr},
    {0, nullptr, nullptr},
};

const VersionKey StatusVersionFields[] = {
    {0, "FileDescription", "%s "},
    {-1, "ProductName", "%s "},
    {-1, "OriginalFilename", "%s "},
    {0, "ProductVersion", "%s.  "},
    {0, "LegalCopyRight", "%s"},
    {0, nullptr, nullptr},
};

namespace {

const int kTimeLimit = 64; // Created and Modified fields

void ShowFileTime(HWND dialog, int fieldId, const char *path, FileTimeKind which)
{
    HWND field = GetDlgItem(dialog, fieldId);
    if (!field)
        return;
    char text[kTimeLimit];
    FormatFileTime(path, text, sizeof text, " ", which);
    SetWindowTextA(field, text);
}

// The view's state: its own copy of the path of the file it shows.
struct VersionView {
    char path[MAX_PATH];
};

void FillVersionView(DialogHost *host)
{
    const char *path = HostState<VersionView>(host)->path;
    ShowFileTime(host->dialog, IDC_VER_CREATED, path, FileTimeCreated);
    ShowFileTime(host->dialog, IDC_VER_MODIFIED, path, FileTimeModified);
    ReadVersionStrings(path, host->dialog, g_versionViewFields, nullptr, 0);
}

// No list: its fields, filled once, under the template's caption.
const DialogSpec kVersionView = {
    .fill = FillVersionView,
};

} // namespace

void ReadVersionStrings(const char *path, HWND dialog, const VersionKey *table, char *output,
                        int limit)
{
    if (output && limit > 0)
        output[0] = '\0';
    VersionRecord record;
    if (!OpenVersionRecord(path, &record))
        return;

    HWND languageField = dialog ? GetDlgItem(dialog, IDC_VER_LANGUAGE) : nullptr;
    if (languageField) {
        char name[MAX_PATH];
        if (VerLanguageNameA(record.language, name, sizeof name))
            SetWindowTextA(languageField, name);
    }

    int room = limit;    // what is left of the limit; once a piece did not fit, nothing else does
    size_t used = 0;
    bool previousEmpty = false;
    for (const VersionKey *row = table; row->key; ++row) {
        if (row->controlId < 0 && !previousEmpty)
            continue;
        previousEmpty = true;
        char value[kValueLimit];
        const int length = ReadVersionValue(&record, row->key, value, sizeof value);
        if (length == 0)
            continue;
        if (dialog) {
            HWND field = row->controlId > 0 ? GetDlgItem(dialog, row->controlId) : nullptr;
            if (field)
                SetWindowTextA(field, value);
            previousEmpty = false;
        } else if (output && length < kValueLimit) {
            char piece[2 * kValueLimit];
            const int pieceLength =
                std::snprintf(piece, sizeof piece, row->format ? row->format : "%s\t", value);
            if (pieceLength < 0)
                continue;
            room -= pieceLength;
            if (room > 0) {
                std::memcpy(output + used, piece, static_cast<size_t>(pieceLength) + 1);
                used += static_cast<size_t>(pieceLength);
                previousEmpty = false;
            }
        }
    }
    CloseVersionRecord(&record);
}

void FormatVersionSummary(const char *path, char *output, int limit)
{
    ReadVersionStrings(path, nullptr, StatusVersionFields, output, limit);
}

INT_PTR OpenVersionView(HWND owner, const char *path)
{
    VersionView view;
    lstrcpynA(view.path, path ? path : "", MAX_PATH);
    return OpenView(owner, IDD_VERSION, &kVersionView, &view);
}

LRESULT OnInfoCommand(HWND window, WPARAM, WORD, LPARAM)
{
    const ProcessRecord *selected = SelectedRecord();
    if (selected)
        OpenVersionView(window, selected->path); // the view keeps its own copy
    return 0;
}
