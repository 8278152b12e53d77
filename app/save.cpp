#include "app/save.h"

#include <commctrl.h>
#include <commdlg.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>

#include "app/appstate.h"
#include "app/processlist.h"
#include "settings/settings.h"

FILE *g_saveFile = nullptr;

namespace {

char g_savePath[MAX_PATH];  // proposed again by every save dialog
char *g_filter;             // 479, with every '|' turned into a zero byte
char *g_defaultExtension;   // 482 "txt"
char g_openPath[MAX_PATH];  // the path of g_saveFile, for error messages

const UINT kSaveFailed = 496; // file, then the system's reason

void PrepareDialogTexts()
{
    if (!g_filter) {
        g_filter = LoadResString(479);
        for (char *p = g_filter; p && *p; p = const_cast<char *>(NextChar(p)))
            if (*p == '|')
                *p = '\0';
    }
    if (!g_defaultExtension)
        g_defaultExtension = LoadResString(482);
}

// Tells the user which file could not be written and the system's reason.
void ReportSaveFailure(HWND owner, const char *path, int error)
{
    char *format = LoadResString(kSaveFailed);
    char message[2 * MAX_PATH + 256];
    std::snprintf(message, sizeof message, format && *format ? format : "%s\n%s", path,
                  error ? std::strerror(error) : "");
    FreeResString(format);
    MessageBoxA(owner, message, g_className, MB_OK | MB_ICONERROR);
}

FILE *OpenForWriting(HWND owner, const char *path)
{
    errno = 0;
    FILE *file = std::fopen(path, "w");
    if (!file)
        ReportSaveFailure(owner, path, errno);
    return file;
}

// Closes a file and reports a failure of any earlier write or of the close itself.
bool FinishFile(HWND owner, FILE *file, const char *path)
{
    const bool writeFailed = std::ferror(file) != 0;
    const int writeError = errno;
    errno = 0;
    const bool closeFailed = std::fclose(file) != 0;
    if (writeFailed || closeFailed) {
        ReportSaveFailure(owner, path, closeFailed ? errno : writeError);
        return false;
    }
    return true;
}

} // namespace

const char *ChooseSaveFile(HWND owner)
{
    PrepareDialogTexts();
    OPENFILENAMEA dialog = {};
    dialog.lStructSize = OPENFILENAME_SIZE_VERSION_400A;
    dialog.hwndOwner = owner;
    dialog.lpstrFilter = g_filter;
    dialog.nFilterIndex = 1;
    dialog.lpstrFile = g_savePath;
    dialog.nMaxFile = MAX_PATH;
    dialog.lpstrDefExt = g_defaultExtension;
    dialog.Flags = OFN_OVERWRITEPROMPT | OFN_HIDEREADONLY | OFN_EXTENSIONDIFFERENT | OFN_PATHMUSTEXIST;
    return GetSaveFileNameA(&dialog) ? g_savePath : nullptr;
}

LRESULT SaveMainList(HWND, WPARAM, WORD, LPARAM)
{
    if (!g_processList)
        return 0;
    const char *path = ChooseSaveFile(g_processList);
    if (!path)
        return 0;
    FILE *file = OpenForWriting(g_processList, path);
    if (!file)
        return 0;
    const char *format = g_settings.hexProcessId ? "%s\t%x\t%s\n" : "%s\t%u\t%s\n";
    const int count = static_cast<int>(SendMessageA(g_processList, LVM_GETITEMCOUNT, 0, 0));
    for (int i = 0; i < count; ++i) {
        const ProcessRecord *record = RecordAt(i);
        if (record)
            std::fprintf(file, format, record->name, static_cast<unsigned>(record->id), record->path);
    }
    FinishFile(g_processList, file, path);
    return 0;
}

FILE *OpenSaveFile(HWND owner)
{
    if (g_saveFile) {
        std::fclose(g_saveFile);
        g_saveFile = nullptr;
    }
    const char *path = ChooseSaveFile(owner);
    if (!path)
        return nullptr;
    lstrcpynA(g_openPath, path, MAX_PATH);
    g_saveFile = OpenForWriting(owner, path);
    return g_saveFile;
}

bool CloseSaveFile(HWND owner)
{
    if (!g_saveFile)
        return false;
    FILE *file = g_saveFile;
    g_saveFile = nullptr;
    return FinishFile(owner, file, g_openPath);
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
