#include "fixtures.h"

#include <commctrl.h>

#include <cstdio>

#include "app/appstate.h"
#include "app/columns.h"
#include "app/processlist.h"
#include "providers/fill.h"

namespace kvtest {

namespace {

const char kHostClass[] = "KvTestListHost";

std::string ScratchFolder()
{
    static std::string folder;
    if (folder.empty()) {
        char temp[MAX_PATH];
        const DWORD length = GetTempPathA(sizeof temp, temp);
        if (length == 0 || length >= sizeof temp)
            return folder;
        char name[MAX_PATH];
        std::snprintf(name, sizeof name, "%skvtest-%lu\\", temp,
                      static_cast<unsigned long>(GetCurrentProcessId()));
        CreateDirectoryA(name, nullptr);
        folder = name;
    }
    return folder;
}

// A freshly started process has no module list for a moment; a provider that looks then would
// record it without details for good.
void WaitUntilModulesListed(HANDLE process)
{
    typedef BOOL(WINAPI * EnumModulesFn)(HANDLE, HMODULE *, DWORD, DWORD *);
    static EnumModulesFn enumModules = reinterpret_cast<EnumModulesFn>(reinterpret_cast<void *>(
        GetProcAddress(LoadLibraryA("psapi.dll"), "EnumProcessModules")));
    if (!enumModules)
        return;
    for (int attempt = 0; attempt < 500; ++attempt) {
        HMODULE module = nullptr;
        DWORD needed = 0;
        if (enumModules(process, &module, sizeof module, &needed) && needed >= sizeof module)
            return;
        if (WaitForSingleObject(process, 10) == WAIT_OBJECT_0)
            return;
    }
}

LRESULT CALLBACK HostProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    if (message == WM_NOTIFY) {
        NMHDR *header = reinterpret_cast<NMHDR *>(lParam);
        switch (header->code) {
        case LVN_GETDISPINFOA:
            return GetCellText(header);
        case LVN_COLUMNCLICK:
            return SortByColumn(header);
        case LVN_DELETEITEM:
            return OnDeleteItem(header);
        case LVN_DELETEALLITEMS:
            return 0; // one LVN_DELETEITEM per item, so each record is freed
        }
    }
    return DefWindowProcA(window, message, wParam, lParam);
}

} // namespace

std::string HelperPath()
{
    char path[MAX_PATH];
    const DWORD length = GetModuleFileNameA(nullptr, path, sizeof path);
    if (length == 0 || length >= sizeof path)
        return std::string();
    std::string result(path);
    result.erase(result.find_last_of('\\') + 1);
    return result + "kvchild.exe";
}

std::string CopyHelper(const char *exeName)
{
    const std::string folder = ScratchFolder();
    if (folder.empty())
        return std::string();
    const std::string target = folder + exeName;
    if (!CopyFileA(HelperPath().c_str(), target.c_str(), FALSE) &&
        GetFileAttributesA(target.c_str()) == INVALID_FILE_ATTRIBUTES)
        return std::string();
    return target;
}

ChildProcess::~ChildProcess()
{
    Kill();
}

bool ChildProcess::Start(const char *exeName, const char *arguments, bool captureOutput)
{
    Kill();
    path_ = CopyHelper(exeName);
    if (path_.empty())
        return false;
    std::string commandLine = "\"" + path_ + "\"";
    if (arguments)
        commandLine += std::string(" ") + arguments;

    STARTUPINFOA startup = {};
    startup.cb = sizeof startup;
    HANDLE writeEnd = nullptr;
    if (captureOutput) {
        SECURITY_ATTRIBUTES inherit = {sizeof inherit, nullptr, TRUE};
        if (!CreatePipe(&output_, &writeEnd, &inherit, 0))
            return false;
        SetHandleInformation(output_, HANDLE_FLAG_INHERIT, 0);
        startup.dwFlags = STARTF_USESTDHANDLES;
        startup.hStdOutput = writeEnd;
        startup.hStdError = GetStdHandle(STD_ERROR_HANDLE);
        startup.hStdInput = GetStdHandle(STD_INPUT_HANDLE);
    }
    PROCESS_INFORMATION info = {};
    const BOOL started = CreateProcessA(path_.c_str(), &commandLine[0], nullptr, nullptr,
                                        captureOutput, 0, nullptr, nullptr, &startup, &info);
    if (writeEnd)
        CloseHandle(writeEnd);
    if (!started) {
        Kill();
        return false;
    }
    CloseHandle(info.hThread);
    process_ = info.hProcess;
    id_ = info.dwProcessId;
    WaitUntilModulesListed(process_);
    return true;
}

bool ChildProcess::Kill()
{
    bool gone = true;
    if (process_) {
        TerminateProcess(process_, 1);
        gone = WaitForSingleObject(process_, 5000) == WAIT_OBJECT_0;
        CloseHandle(process_);
        process_ = nullptr;
    }
    if (output_) {
        CloseHandle(output_);
        output_ = nullptr;
    }
    id_ = 0;
    pending_.clear();
    return gone;
}

bool ChildProcess::ReadLine(std::string *line, DWORD timeoutMs)
{
    const DWORD start = GetTickCount();
    for (;;) {
        const size_t end = pending_.find('\n');
        if (end != std::string::npos) {
            line->assign(pending_, 0, end);
            if (!line->empty() && line->back() == '\r')
                line->pop_back();
            pending_.erase(0, end + 1);
            return true;
        }
        DWORD available = 0;
        if (!output_ || !PeekNamedPipe(output_, nullptr, 0, nullptr, &available, nullptr))
            return false;
        if (available) {
            char chunk[512];
            DWORD read = 0;
            if (!ReadFile(output_, chunk, sizeof chunk < available ? sizeof chunk : available,
                          &read, nullptr))
                return false;
            pending_.append(chunk, read);
            continue;
        }
        if (GetTickCount() - start >= timeoutMs)
            return false;
        Sleep(10);
    }
}

ListHost::ListHost()
{
    WNDCLASSA windowClass = {};
    windowClass.lpfnWndProc = HostProc;
    windowClass.hInstance = GetModuleHandleA(nullptr);
    windowClass.lpszClassName = kHostClass;
    RegisterClassA(&windowClass); // fails harmlessly once registered
    window_ = CreateWindowExA(0, kHostClass, "", WS_OVERLAPPEDWINDOW, 0, 0, 640, 480, nullptr,
                              nullptr, windowClass.hInstance, nullptr);
    g_sortColumn = 0;
    g_sortDirection = 1;
    list_ = CreateProcessList(window_, WS_CHILD | WS_TABSTOP | LVS_REPORT | LVS_SINGLESEL |
                                           LVS_SHOWSELALWAYS,
                              WS_EX_CLIENTEDGE, g_columns, g_columnCount, kProcessListId);
    previousList_ = g_processList;
    g_processList = list_;
}

ListHost::~ListHost()
{
    if (list_)
        ClearProcessList(list_);
    g_processList = previousList_;
    if (window_)
        DestroyWindow(window_);
}

int ListHost::RowCount() const
{
    return static_cast<int>(SendMessageA(list_, LVM_GETITEMCOUNT, 0, 0));
}

ProcessRecord *ListHost::RecordOfRow(int row) const
{
    LVITEMA item = {};
    item.mask = LVIF_PARAM;
    item.iItem = row;
    if (!SendMessageA(list_, LVM_GETITEMA, 0, reinterpret_cast<LPARAM>(&item)))
        return nullptr;
    return reinterpret_cast<ProcessRecord *>(item.lParam);
}

int ListHost::FindRow(DWORD id, DWORD kind) const
{
    const int count = RowCount();
    for (int row = 0; row < count; ++row) {
        const ProcessRecord *record = RecordOfRow(row);
        if (record && record->id == id && record->kind == kind)
            return row;
    }
    return -1;
}

std::string ListHost::CellText(int row, int column) const
{
    char text[MAX_PATH] = "";
    LVITEMA item = {};
    item.iSubItem = column;
    item.pszText = text;
    item.cchTextMax = sizeof text;
    SendMessageA(list_, LVM_GETITEMTEXTA, row, reinterpret_cast<LPARAM>(&item));
    return text;
}

int CountRecords()
{
    int count = 0;
    for (const ProcessRecord *record = g_recordHead; record; record = record->next)
        ++count;
    return count;
}

} // namespace kvtest
