#include "core/save.h"

#include <commctrl.h>
#include <commdlg.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "core/appstate.h"
#include "core/columns.h"
#include "core/processcells.h"
#include "core/processtable.h"
#include "core/settings.h"
#include "core/sysapi.h"
#include "resource.h"

FILE *g_saveFile = nullptr;

namespace {

char g_savePath[MAX_PATH];  // proposed again by every save dialog
char g_openPath[MAX_PATH];  // where g_saveFile goes once complete, for error messages too
char g_openTemp[MAX_PATH];  // the file g_saveFile writes to; empty when it is g_openPath itself

// Whether a save failed, and the first reason it met: the C library's errno or the system's
// error code. A later step that fails too (Wine's fclose after a full disk, without errno) must
// not replace the reason.
struct SaveError {
    bool failed;
    int crt;
    DWORD system;
};

void NoteFailure(SaveError *error, int crt, DWORD system)
{
    error->failed = true;
    if (!error->crt && !error->system) {
        error->crt = crt;
        error->system = crt ? 0 : system;
    }
}

// The system's text for an error code ("" when it has none).
void SystemReason(DWORD error, char (&reason)[256])
{
    reason[0] = '\0';
    if (error)
        FormatMessageA(FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS, nullptr, error,
                       0, reason, sizeof reason, nullptr);
}

// The message of string `formatId` about `subject` with `reason`, into `message`; its length.
int FormatFailure(char (&message)[3 * MAX_PATH + 512], UINT formatId, const char *subject,
                  const char *reason)
{
    char *format = LoadResString(formatId);
    const int length =
        std::snprintf(message, sizeof message, format && *format ? format : "%s\n%s", subject, reason);
    FreeResString(format);
    return length;
}

// Tells the user which file could not be written and the system's reason, and where the new text
// is when it was kept in a temporary file (`kept`, or null).
void ReportSaveFailure(HWND owner, const char *path, const SaveError &error,
                       const char *kept = nullptr)
{
    char reason[256] = "";
    if (error.crt)
        lstrcpynA(reason, std::strerror(error.crt), sizeof reason);
    else
        SystemReason(error.system, reason);
    char message[3 * MAX_PATH + 512];
    const int length = FormatFailure(message, IDS_SAVE_FAILED, path, reason);
    if (kept && length >= 0 && static_cast<size_t>(length) < sizeof message) {
        char *format = LoadResString(IDS_SAVE_KEPT_TEMP);
        std::snprintf(message + length, sizeof message - length,
                      format && *format ? format : "\n%s", kept);
        FreeResString(format);
    }
    MessageBoxA(owner, message, g_className, MB_OK | MB_ICONERROR);
}

// A new empty file beside `path`, in the same folder so that putting it in place is a rename. The
// name is made here rather than by GetTempFileNameA, which refuses folders over 246 characters:
// its varying digits come first, so that where the folder leaves little room the name is cut
// from its end and still varies.
bool CreateTempBeside(const char *path, char *temp, SaveError *error)
{
    const char *slash = FindLastChar(path, '\\');
    const char *other = FindLastChar(path, '/');
    if (other > slash)
        slash = other;
    const size_t folder = slash ? static_cast<size_t>(slash - path) + 1 : 0;
    if (folder > MAX_PATH - 3) {
        NoteFailure(error, 0, ERROR_FILENAME_EXCED_RANGE);
        return false;
    }
    const DWORD seed = GetTickCount() ^ (GetCurrentProcessId() << 16);
    for (DWORD attempt = 0; attempt < 8; ++attempt) {
        char name[16];
        std::snprintf(name, sizeof name, "~%04lxkvs.tmp",
                      static_cast<unsigned long>((seed + attempt * 0x9E37u) & 0xFFFF));
        std::memcpy(temp, path, folder);
        lstrcpynA(temp + folder, name, static_cast<int>(MAX_PATH - folder));
        HANDLE file = CreateFileA(temp, GENERIC_WRITE, 0, nullptr, CREATE_NEW,
                                  FILE_ATTRIBUTE_NORMAL, nullptr);
        if (file != INVALID_HANDLE_VALUE) {
            CloseHandle(file);
            return true;
        }
        if (GetLastError() != ERROR_FILE_EXISTS && GetLastError() != ERROR_ALREADY_EXISTS) {
            NoteFailure(error, 0, GetLastError());
            return false;
        }
    }
    NoteFailure(error, 0, ERROR_FILE_EXISTS);
    return false;
}

// Windows refuses to replace a read-only file; Wine replaces it. Refused the same way on both,
// and so is a folder, before anything is written beside it.
bool ReadOnlyTarget(const char *path, SaveError *error)
{
    const DWORD attributes = GetFileAttributesA(path);
    if (attributes == INVALID_FILE_ATTRIBUTES ||
        !(attributes & (FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_DIRECTORY)))
        return false;
    NoteFailure(error, 0, ERROR_ACCESS_DENIED);
    return true;
}

// Windows 95 has no replacing rename; there the old file is deleted first. Once it is gone, a
// failed rename leaves the complete new text only in the temporary file: `keepTemp` tells the
// caller to keep it.
bool PutInPlace(const char *temp, const char *path, SaveError *error, bool *keepTemp)
{
    *keepTemp = false;
    if (ReadOnlyTarget(path, error))
        return false;
    BOOL(WINAPI *moveFileEx)(LPCSTR, LPCSTR, DWORD) = SysApi().MoveFileExA;
    if (moveFileEx && moveFileEx(temp, path, MOVEFILE_REPLACE_EXISTING))
        return true;
    if (moveFileEx && GetLastError() != ERROR_CALL_NOT_IMPLEMENTED) {
        NoteFailure(error, 0, GetLastError());
        return false;
    }
    if (!DeleteFileA(path) && GetLastError() != ERROR_FILE_NOT_FOUND) {
        NoteFailure(error, 0, GetLastError());
        return false;
    }
    if (MoveFileA(temp, path))
        return true;
    NoteFailure(error, 0, GetLastError());
    *keepTemp = true;
    return false;
}

// Opens a temporary file beside `path` for writing in text mode; the earlier file of that name
// stays untouched until FinishFile puts the complete new one in its place.
FILE *OpenForWriting(HWND owner, const char *path, char *temp)
{
    SaveError error = {};
    FILE *file = nullptr;
    if (!ReadOnlyTarget(path, &error) && CreateTempBeside(path, temp, &error)) {
        errno = 0;
        file = std::fopen(temp, "w");
        if (!file) {
            NoteFailure(&error, errno, 0);
            DeleteFileA(temp);
        }
    }
    if (!file) {
        temp[0] = '\0';
        ReportSaveFailure(owner, path, error);
    }
    return file;
}

// Closes the file and, when every write and the close succeeded, puts it in place of `path`.
// Otherwise the temporary file goes, the earlier file stays as it was, and the user is told the
// first reason met.
bool FinishFile(HWND owner, FILE *file, const char *path, const char *temp)
{
    SaveError error = {};
    if (std::ferror(file))
        NoteFailure(&error, errno, 0);
    errno = 0;
    if (std::fclose(file) != 0)
        NoteFailure(&error, errno, 0);
    bool keepTemp = false;
    const bool written = !error.failed && (!*temp || PutInPlace(temp, path, &error, &keepTemp));
    if (written)
        return true;
    if (*temp && !keepTemp)
        DeleteFileA(temp);
    ReportSaveFailure(owner, path, error, keepTemp ? temp : nullptr);
    return false;
}

// The filter list of a file dialog from a string of the table: every '|' turned into a zero
// byte, ending in two of them.
void MakeFileFilter(UINT stringId, char (&filter)[MAX_PATH + 2])
{
    std::memset(filter, 0, sizeof filter);
    lstrcpynA(filter, ResText(stringId), MAX_PATH);
    // Step past a character before cutting at it: stepping from a zero byte goes nowhere.
    for (char *p = filter; *p;) {
        char *next = const_cast<char *>(NextChar(p));
        if (*p == '|')
            *p = '\0';
        p = next;
    }
}

// The common file dialog, open or save, with the file types of string `filterId`; the size of
// the structure Windows 95 and NT 4 know.
bool ChooseFile(HWND owner, UINT filterId, const char *extension, DWORD flags,
                char (&path)[MAX_PATH], BOOL(WINAPI *run)(OPENFILENAMEA *))
{
    char filter[MAX_PATH + 2];
    MakeFileFilter(filterId, filter);
    OPENFILENAMEA dialog = {};
    dialog.lStructSize = OPENFILENAME_SIZE_VERSION_400A;
    dialog.hwndOwner = owner;
    dialog.lpstrFilter = filter;
    dialog.nFilterIndex = 1;
    dialog.lpstrFile = path;
    dialog.nMaxFile = MAX_PATH;
    dialog.lpstrDefExt = extension;
    dialog.Flags = flags | OFN_HIDEREADONLY | OFN_PATHMUSTEXIST;
    return run(&dialog) != FALSE;
}

} // namespace

bool ChooseFileToWrite(HWND owner, UINT filterId, UINT extensionId, char (&path)[MAX_PATH])
{
    return ChooseFile(owner, filterId, ResText(extensionId),
                      OFN_OVERWRITEPROMPT | OFN_EXTENSIONDIFFERENT, path, GetSaveFileNameA);
}

bool ChooseFileToOpen(HWND owner, UINT filterId, char (&path)[MAX_PATH])
{
    return ChooseFile(owner, filterId, nullptr, OFN_FILEMUSTEXIST, path, GetOpenFileNameA);
}

const char *ChooseSaveFile(HWND owner)
{
    return ChooseFileToWrite(owner, IDS_SAVE_FILTER, IDS_SAVE_DEFEXT, g_savePath) ? g_savePath
                                                                                    : nullptr;
}

namespace {

// Name, identifier and full path of each shown row: the list's older file format.
void WriteIdRows(FILE *file)
{
    const char *format = g_settings.hexProcessId ? "%s\t%x\t%s\n" : "%s\t%u\t%s\n";
    const int count = RowCount();
    for (int i = 0; i < count; ++i) {
        const ProcessRecord *record = RecordAt(i);
        if (record)
            std::fprintf(file, format, record->name, static_cast<unsigned>(record->id), record->path);
    }
}

// The shown columns' titles (for a null record) or a row's cells, as one line.
void WriteColumnLine(FILE *file, ProcessRecord *record)
{
    std::vector<char> line;
    AppendColumnFields(&line, record);
    line.push_back('\n');
    std::fwrite(line.data(), 1, line.size(), file);
}

// The shown columns' titles, then every shown row's cells as the list shows them, in column
// order, tab-separated.
void WriteShownColumns(FILE *file)
{
    WriteColumnLine(file, nullptr);
    const int count = RowCount();
    for (int i = 0; i < count; ++i)
        if (ProcessRecord *record = RecordAt(i))
            WriteColumnLine(file, record);
}

// Asks for a file and writes the main list into it with `write`, replacing the file only once
// the text is complete.
void SaveMainListWith(void (*write)(FILE *file))
{
    const char *path = ChooseSaveFile(g_mainWindow);
    if (!path)
        return;
    char temp[MAX_PATH];
    FILE *file = OpenForWriting(g_mainWindow, path, temp);
    if (!file)
        return;
    write(file);
    FinishFile(g_mainWindow, file, path, temp);
}

} // namespace

LRESULT SaveMainList(HWND, WPARAM, WORD, LPARAM)
{
    SaveMainListWith(WriteIdRows);
    return 0;
}

LRESULT SaveAllColumns(HWND, WPARAM, WORD, LPARAM)
{
    SaveMainListWith(WriteShownColumns);
    return 0;
}

FILE *OpenSaveFile(HWND owner)
{
    if (g_saveFile) { // abandoned by an earlier save: its target stays as it was
        std::fclose(g_saveFile);
        g_saveFile = nullptr;
        if (*g_openTemp)
            DeleteFileA(g_openTemp);
    }
    const char *path = ChooseSaveFile(owner);
    if (!path)
        return nullptr;
    lstrcpynA(g_openPath, path, MAX_PATH);
    g_saveFile = OpenForWriting(owner, path, g_openTemp);
    return g_saveFile;
}

bool CloseSaveFile(HWND owner)
{
    if (!g_saveFile)
        return false;
    FILE *file = g_saveFile;
    g_saveFile = nullptr;
    const bool written = FinishFile(owner, file, g_openPath, g_openTemp);
    g_openTemp[0] = '\0';
    return written;
}

char *ReadListBoxLine(HWND listBox, int index)
{
    const LRESULT length = SendMessageA(listBox, LB_GETTEXTLEN, index, 0);
    if (length == LB_ERR || length < 0)
        return nullptr;
    char *line = static_cast<char *>(std::malloc(static_cast<size_t>(length) + 1));
    if (!line)
        return nullptr;
    const LRESULT read = SendMessageA(listBox, LB_GETTEXT, index, reinterpret_cast<LPARAM>(line));
    line[read == LB_ERR || read < 0 || read > length ? 0 : read] = '\0';
    return line;
}

void SaveListBox(HWND owner, HWND listBox)
{
    if (!OpenSaveFile(owner))
        return;
    const int count = static_cast<int>(SendMessageA(listBox, LB_GETCOUNT, 0, 0));
    for (int i = 0; i < count; ++i) {
        char *line = ReadListBoxLine(listBox, i);
        if (line)
            std::fprintf(g_saveFile, "%s\n", line);
        std::free(line);
    }
    CloseSaveFile(owner);
}

DWORD BeginReplacement(const char *path, char (&temp)[MAX_PATH])
{
    temp[0] = '\0';
    if (!*path)
        return ERROR_INVALID_NAME;
    if (lstrlenA(path) >= MAX_PATH)
        return ERROR_FILENAME_EXCED_RANGE;
    SaveError error = {};
    if (!ReadOnlyTarget(path, &error) && CreateTempBeside(path, temp, &error))
        return 0;
    temp[0] = '\0';
    return error.system;
}

DWORD CompleteReplacement(const char *temp, const char *path)
{
    SaveError error = {};
    bool keepTemp = false;
    if (PutInPlace(temp, path, &error, &keepTemp))
        return 0;
    if (!keepTemp)
        DeleteFileA(temp);
    return error.system ? error.system : ERROR_WRITE_FAULT;
}

void ShowSystemFailure(HWND owner, UINT formatId, const char *subject, DWORD error)
{
    char reason[256];
    SystemReason(error, reason);
    char message[3 * MAX_PATH + 512];
    FormatFailure(message, formatId, subject, reason);
    MessageBoxA(owner, message, g_className, MB_OK | MB_ICONERROR);
}
