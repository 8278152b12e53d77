#include "views/version.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "core/appstate.h"
#include "core/dialoghost.h"
#include "core/processlist.h"
#include "resource.h"
#include "views/filetime.h"
#include "views/versionkeys.h"

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

// Values longer than this are cut in the view and left out of composed text.
const int kValueLimit = MAX_PATH;

// Bytes of the longest run of whole characters from the start of `text` that fits `room` bytes.
size_t CutAtCharacter(const char *text, size_t room)
{
    const char *end = text;
    for (;;) {
        const char *next = NextChar(end);
        if (next == end || static_cast<size_t>(next - text) > room)
            return static_cast<size_t>(end - text);
        end = next;
    }
}

// The (non-empty) value as a terminated string in the ANSI code page; the caller frees it.
char *DecodeValue(const VersionText &value)
{
    if (!value.wide) {
        char *text = static_cast<char *>(std::malloc(value.length + 1));
        if (text) {
            std::memcpy(text, value.text, value.length);
            text[value.length] = '\0';
        }
        return text;
    }
    // Lengths come from a 16-bit field and its node; far below the int range.
    const int units = static_cast<int>(value.length);
    WCHAR *wide = static_cast<WCHAR *>(std::malloc((value.length + 1) * sizeof(WCHAR)));
    if (!wide)
        return nullptr;
    std::memcpy(wide, value.text, value.length * sizeof(WCHAR)); // the record may be unaligned
    char *text = nullptr;
    const int bytes = WideCharToMultiByte(CP_ACP, 0, wide, units, nullptr, 0, nullptr, nullptr);
    if (bytes > 0) {
        text = static_cast<char *>(std::malloc(static_cast<size_t>(bytes) + 1));
        if (text) {
            WideCharToMultiByte(CP_ACP, 0, wide, units, text, bytes, nullptr, nullptr);
            text[bytes] = '\0';
        }
    }
    std::free(wide);
    return text;
}

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

bool OpenVersionRecord(const char *path, VersionRecord *record)
{
    *record = VersionRecord();
    DWORD handle = 0;
    const DWORD size = path ? GetFileVersionInfoSizeA(path, &handle) : 0;
    if (size == 0)
        return false;
    record->data = std::malloc(size);
    if (!record->data)
        return false;
    record->size = size;
    uint16_t language = 0, codePage = 0;
    if (!GetFileVersionInfoA(path, 0, size, record->data) ||
        !FindVersionTranslation(record->data, size, &language, &codePage)) {
        CloseVersionRecord(record);
        return false;
    }
    record->language = language;
    std::snprintf(record->table, sizeof record->table, "%04x%04x", language, codePage);
    return true;
}

void CloseVersionRecord(VersionRecord *record)
{
    std::free(record->data);
    *record = VersionRecord();
}

int ReadVersionValue(const VersionRecord *record, const char *key, char *output, int limit)
{
    if (limit > 0)
        output[0] = '\0';
    VersionText value;
    if (!FindVersionString(record->data, record->size, record->table, key, &value) ||
        value.length == 0)
        return 0;
    char *text = DecodeValue(value);
    if (!text)
        return 0;
    const size_t length = std::strlen(text);
    if (limit > 0) {
        const size_t kept = CutAtCharacter(text, static_cast<size_t>(limit) - 1);
        std::memcpy(output, text, kept);
        output[kept] = '\0';
    }
    std::free(text);
    return static_cast<int>(length);
}

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
