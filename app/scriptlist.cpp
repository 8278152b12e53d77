#include "app/scriptlist.h"

#include <cstdlib>
#include <cstring>

#include "app/allusers.h"
#include "core/appstate.h"
#include "core/processcells.h"
#include "core/processtable.h"
#include "core/save.h"
#include "core/settings.h"
#include "core/sysapi.h"
#include "core/textcompare.h"
#include "providers/debugpriv.h"
#include "providers/provider.h"

namespace {

const char kListSwitch[] = "/list";
const DWORD kSecondReadingMs = 500;
const DWORD kWriteChunk = 32768; // consoles take large writes badly
const DWORD kParentProcess = static_cast<DWORD>(-1); // ATTACH_PARENT_PROCESS

// `text` without one pair of enclosing quotes and trailing blanks, into the target's file.
void TakeFileName(const char *text, ListTarget *target)
{
    if (*text == '"')
        ++text;
    lstrcpynA(target->file, text, sizeof target->file);
    size_t length = std::strlen(target->file);
    while (length > 0 && (target->file[length - 1] == ' ' || target->file[length - 1] == '\t'))
        --length;
    if (length > 0 && target->file[length - 1] == '"')
        --length;
    target->file[length] = '\0';
}

void EndLine(std::vector<char> *text)
{
    text->push_back('\r');
    text->push_back('\n');
}

// By name, then by identifier (qsort's form: the runtime's sort keeps the program small).
int NameOrder(const void *left, const void *right)
{
    const ProcessRecord *a = *static_cast<ProcessRecord *const *>(left);
    const ProcessRecord *b = *static_cast<ProcessRecord *const *>(right);
    const int order = CompareText(a->name, b->name);
    return order != 0 ? order : (a->id > b->id) - (a->id < b->id);
}

bool WriteAll(HANDLE out, const std::vector<char> &text)
{
    for (size_t done = 0; done < text.size();) {
        const size_t left = text.size() - done;
        const DWORD chunk = left < kWriteChunk ? static_cast<DWORD>(left) : kWriteChunk;
        DWORD written = 0;
        if (!WriteFile(out, text.data() + done, chunk, &written, nullptr) || written == 0)
            return false;
        done += written;
    }
    return true;
}

// The handle the program was given for its output; where it was given none, the console of the
// program that started it (a window program gets none of its own).
HANDLE StandardOutput()
{
    HANDLE out = GetStdHandle(STD_OUTPUT_HANDLE);
    if (out && out != INVALID_HANDLE_VALUE)
        return out;
    BOOL(WINAPI *const attach)(DWORD) = SysApi().AttachConsole;
    if (!attach || !attach(kParentProcess))
        return nullptr;
    out = CreateFileA("CONOUT$", GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE,
                      nullptr, OPEN_EXISTING, 0, nullptr);
    return out == INVALID_HANDLE_VALUE ? nullptr : out;
}

// Through a temporary file beside `path`, which takes the name only once all of it is written.
bool WriteListFile(const char *path, const std::vector<char> &text)
{
    char temp[MAX_PATH];
    if (BeginReplacement(path, temp) != 0)
        return false;
    HANDLE file = CreateFileA(temp, GENERIC_WRITE, 0, nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL,
                              nullptr);
    bool written = file != INVALID_HANDLE_VALUE && WriteAll(file, text);
    if (file != INVALID_HANDLE_VALUE && !CloseHandle(file))
        written = false;
    if (!written) {
        DeleteFileA(temp);
        return false;
    }
    return CompleteReplacement(temp, path) == 0;
}

} // namespace

bool ParseListSwitch(const char *commandLine, ListTarget *target)
{
    const char *at = FirstArgument(commandLine);
    if (!at)
        return false;
    if (*at == '"')
        ++at;
    for (const char *letter = kListSwitch; *letter; ++letter, ++at)
        if ((*at | 0x20) != *letter) // the switch in either case; '/' stays '/'
            return false;
    target->toFile = *at == ':';
    target->file[0] = '\0';
    if (target->toFile)
        TakeFileName(at + 1, target); // a quote before the switch ends after the name
    return target->toFile || *at == '\0' || *at == ' ' || *at == '\t' || *at == '"';
}

void FormatProcessList(std::vector<char> *text)
{
    AppendColumnFields(text, nullptr);
    EndLine(text);
    std::vector<ProcessRecord *> records;
    for (ProcessRecord *record = g_recordHead; record; record = record->next)
        if (!(record->flags & RecordEnded))
            records.push_back(record);
    if (!records.empty())
        std::qsort(records.data(), records.size(), sizeof records[0], NameOrder);
    for (ProcessRecord *record : records) {
        AppendColumnFields(text, record);
        EndLine(text);
    }
}

int RunListCommand(const ListTarget &target)
{
    DetectOs();
    LoadSettings(); // the column set of the family, with the stored extra columns
    if (!BindProvider())
        return 1;
    EnableDebugPrivilege("SeDebugPrivilege", SE_PRIVILEGE_ENABLED);
    RefreshProcessTable();
    Sleep(kSecondReadingMs);
    RefreshProcessTable();
    std::vector<char> text;
    FormatProcessList(&text);
    if (target.toFile)
        return WriteListFile(target.file, text) ? 0 : 1;
    HANDLE out = StandardOutput();
    return out && WriteAll(out, text) ? 0 : 1;
}
