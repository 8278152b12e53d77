#include "providers/procinfo.h"

#include <cstdlib>
#include <cstring>

#include "core/processrecord.h"
#include "providers/debugpriv.h"
#include "providers/provider.h"

namespace {

const DWORD kReadAccess = PROCESS_QUERY_INFORMATION | PROCESS_VM_READ;
const int kProcessWow64Information = 26;  // the address of a 32-bit process's own block
const int kProcessCommandLine = 60;       // Windows 8.1 and later
const size_t kPebParams32 = 0x10, kPebParams64 = 0x20; // ProcessParameters in the block
const size_t kMaxRecordBytes = 512 * 1024; // the record with every text at its longest
const size_t kMaxEnvironmentBytes = 1024 * 1024;

struct OpenProcessHandle {
    HANDLE handle;
    bool canRead; // the memory read right was granted
    explicit OpenProcessHandle(DWORD id) : handle(OpenProcessForQuery(id, kReadAccess, &canRead)) {}
    ~OpenProcessHandle()
    {
        if (handle)
            CloseHandle(handle);
    }
};

// A heap block freed when it goes out of scope.
struct HeapBytes {
    unsigned char *bytes;
    explicit HeapBytes(size_t size) : bytes(static_cast<unsigned char *>(std::malloc(size ? size : 1))) {}
    ~HeapBytes() { std::free(bytes); }
};

bool ReadRemote(HANDLE process, unsigned long long address, void *buffer, size_t bytes)
{
    SIZE_T read = 0;
    if (!buffer || address == 0 || address > static_cast<ULONG_PTR>(-1) - bytes)
        return false; // beyond what this build can address
    return ReadProcessMemory(process, reinterpret_cast<LPCVOID>(static_cast<ULONG_PTR>(address)),
                             buffer, bytes, &read) &&
           read == bytes;
}

// UTF-16 text (NULs kept) as ANSI text on the heap with one more NUL at its end; null when empty.
char *ToAnsi(const void *text, size_t bytes)
{
    const int count = static_cast<int>(bytes / 2);
    WCHAR *wide = static_cast<WCHAR *>(std::malloc(bytes + 2)); // aligned copy
    if (!wide || count == 0) {
        std::free(wide);
        return nullptr;
    }
    std::memcpy(wide, text, static_cast<size_t>(count) * 2);
    const int length = WideCharToMultiByte(CP_ACP, 0, wide, count, nullptr, 0, nullptr, nullptr);
    char *result = length > 0 ? static_cast<char *>(std::malloc(static_cast<size_t>(length) + 1))
                              : nullptr;
    if (result) {
        WideCharToMultiByte(CP_ACP, 0, wide, count, result, length, nullptr, nullptr);
        result[length] = '\0';
    }
    std::free(wide);
    return result;
}

// True when this program runs as a 32-bit program on 64-bit Windows.
bool ProgramIsWow64()
{
    BOOL wow64 = FALSE;
    return g_ntApi.IsWow64Process && g_ntApi.IsWow64Process(GetCurrentProcess(), &wow64) && wow64;
}

int BitsOf(HANDLE process)
{
    if (!SystemIs64Bit())
        return 32;
    BOOL wow64 = FALSE;
    if (!g_ntApi.IsWow64Process || !g_ntApi.IsWow64Process(process, &wow64))
        return 0;
    return wow64 ? 32 : 64;
}

const int kProgramBits = static_cast<int>(sizeof(void *) * 8);

// Where the process parameters are, and the width of the pointers in them.
StartupStatus LocateParams(HANDLE process, int *pointerSize, unsigned long long *address)
{
    const int bits = BitsOf(process);
    if (bits == 0 || !g_ntApi.NtQueryInformationProcess)
        return StartupUnreadable;
    if (bits > kProgramBits)
        return StartupNeedsX64;
    unsigned long long peb = 0;
    if (bits < kProgramBits) { // a 32-bit process seen by the 64-bit build
        ULONG_PTR peb32 = 0;
        if (g_ntApi.NtQueryInformationProcess(process, kProcessWow64Information, &peb32,
                                              sizeof peb32, nullptr) < 0)
            return StartupUnreadable;
        peb = peb32;
    } else {
        BasicProcessInfo info = {};
        if (g_ntApi.NtQueryInformationProcess(process, kProcessBasicInformation, &info,
                                              sizeof info, nullptr) < 0)
            return StartupUnreadable;
        peb = reinterpret_cast<ULONG_PTR>(info.pebBaseAddress);
    }
    *pointerSize = bits / 8;
    unsigned long long params = 0; // little-endian: the low bytes come first
    if (!ReadRemote(process, peb + (bits == 64 ? kPebParams64 : kPebParams32), &params,
                    static_cast<size_t>(*pointerSize)))
        return StartupUnreadable;
    *address = params;
    return params ? StartupRead : StartupUnreadable;
}

// The process parameters as far as their own length says, bounded.
struct ParamsCopy {
    unsigned char *block = nullptr;
    ProcessParamsView view;
    ~ParamsCopy() { std::free(block); }
};

StartupStatus ReadParams(HANDLE process, ParamsCopy *copy)
{
    int pointerSize = 0;
    unsigned long long address = 0;
    const StartupStatus located = LocateParams(process, &pointerSize, &address);
    if (located != StartupRead)
        return located;
    DWORD lengths[2] = {}; // maximum length, length
    if (!ReadRemote(process, address, lengths, sizeof lengths))
        return StartupUnreadable;
    const size_t minimum = ProcessParamsMinimum(pointerSize);
    size_t bytes = lengths[1] < kMaxRecordBytes ? lengths[1] : kMaxRecordBytes;
    if (bytes < minimum)
        bytes = minimum; // the walker refuses it on its own length
    copy->block = static_cast<unsigned char *>(std::malloc(bytes));
    if (!ReadRemote(process, address, copy->block, bytes) ||
        !WalkProcessParams(copy->block, bytes, pointerSize, address, &copy->view))
        return StartupUnreadable;
    return StartupRead;
}

char *ParamTextOf(HANDLE process, const ParamsCopy &copy, ParamText which)
{
    const ParamTextPlace &place = copy.view.texts[which];
    if (!place.present)
        return nullptr;
    if (place.inBlock)
        return ToAnsi(copy.block + place.offset, place.bytes);
    HeapBytes text(place.bytes);
    return ReadRemote(process, place.address, text.bytes, place.bytes)
               ? ToAnsi(text.bytes, place.bytes)
               : nullptr;
}

// The command line from the system's own query, where it answers (Windows 8.1 and later).
bool QueryCommandLine(HANDLE process, char **text)
{
    struct CountedText { // UNICODE_STRING
        USHORT length, maximum;
        PWSTR buffer;
    };
    const ULONG size = sizeof(CountedText) + kMaxParamBytes + 2;
    HeapBytes answer(size);
    if (!g_ntApi.NtQueryInformationProcess || !answer.bytes ||
        g_ntApi.NtQueryInformationProcess(process, kProcessCommandLine, answer.bytes, size,
                                          nullptr) < 0)
        return false;
    CountedText counted;
    std::memcpy(&counted, answer.bytes, sizeof counted);
    const unsigned char *start = reinterpret_cast<const unsigned char *>(counted.buffer);
    const unsigned char *first = answer.bytes + sizeof counted, *end = answer.bytes + size;
    if (!start || start < first || start > end || counted.length > static_cast<size_t>(end - start))
        return false;
    *text = ToAnsi(start, counted.length);
    return true;
}

char *CommandLineOf(HANDLE process, bool canRead)
{
    char *text = nullptr;
    if (QueryCommandLine(process, &text) || !canRead)
        return text;
    ParamsCopy copy;
    return ReadParams(process, &copy) == StartupRead ? ParamTextOf(process, copy, ParamCommandLine)
                                                     : nullptr;
}

char *HeapCopy(const char *text)
{
    const size_t size = std::strlen(text) + 1;
    char *copy = static_cast<char *>(std::malloc(size));
    if (copy)
        std::memcpy(copy, text, size);
    return copy;
}

// The names of the SIDs met so far: each distinct SID is looked up once for the run.
struct AccountEntry {
    AccountEntry *next;
    DWORD sidBytes;
    BYTE sid[SECURITY_MAX_SID_SIZE];
    char name[2 * 256 + 2]; // "DOMAIN\user"; empty when the lookup failed
};
AccountEntry *g_accounts;

const char *AccountName(PSID sid, DWORD sidBytes)
{
    for (const AccountEntry *entry = g_accounts; entry; entry = entry->next)
        if (entry->sidBytes == sidBytes && !std::memcmp(entry->sid, sid, sidBytes))
            return entry->name;
    AccountEntry *entry = static_cast<AccountEntry *>(std::calloc(1, sizeof(AccountEntry)));
    if (!entry)
        return "";
    entry->sidBytes = sidBytes;
    std::memcpy(entry->sid, sid, sidBytes);
    char user[256], domain[256];
    DWORD userSize = sizeof user, domainSize = sizeof domain;
    SID_NAME_USE use;
    if (g_tokenApi.LookupAccountSidA &&
        g_tokenApi.LookupAccountSidA(nullptr, sid, user, &userSize, domain, &domainSize, &use)) {
        if (domain[0])
            lstrcatA(lstrcpyA(entry->name, domain), "\\");
        lstrcatA(entry->name, user);
    }
    entry->next = g_accounts;
    g_accounts = entry;
    return entry->name;
}

const char *UserNameOf(HANDLE process)
{
    const TokenApi &api = TokenFunctions();
    HANDLE token;
    if (!api.OpenProcessToken || !api.GetTokenInformation ||
        !api.OpenProcessToken(process, TOKEN_QUERY, &token))
        return "";
    union {
        TOKEN_USER user;
        unsigned char bytes[sizeof(TOKEN_USER) + SECURITY_MAX_SID_SIZE];
    } answer;
    DWORD size = 0;
    const BOOL read = api.GetTokenInformation(token, TokenUser, &answer, sizeof answer, &size);
    CloseHandle(token);
    const unsigned char *sid = static_cast<const unsigned char *>(answer.user.User.Sid);
    const unsigned char *end = answer.bytes + sizeof answer;
    if (!read || sid < answer.bytes + sizeof(TOKEN_USER) || sid + 8 > end)
        return "";
    // The SID's length: 8 bytes of header, then 4 bytes per sub-authority (its second byte).
    const size_t sidBytes = 8 + 4 * static_cast<size_t>(sid[1]);
    return sidBytes <= static_cast<size_t>(end - sid)
               ? AccountName(answer.user.User.Sid, static_cast<DWORD>(sidBytes))
               : "";
}

// Remembers where the last complete entry ends.
void NoteEntryEnd(void *user, size_t offset, size_t bytes)
{
    *static_cast<size_t *>(user) = offset + bytes + 2;
}

// The environment block: as long as the record says, else to the end of its memory region,
// never more than 1 MB. `cut` tells that the block went on past that megabyte: the entries that
// fit are kept.
char *ReadEnvironment(HANDLE process, const ProcessParamsView &view, bool *cut)
{
    unsigned long long bytes = view.environmentBytes;
    MEMORY_BASIC_INFORMATION region;
    if (!view.environment || view.environment > static_cast<ULONG_PTR>(-1))
        return nullptr;
    if (!bytes &&
        VirtualQueryEx(process, reinterpret_cast<LPCVOID>(static_cast<ULONG_PTR>(view.environment)),
                       &region, sizeof region) == sizeof region)
        bytes = reinterpret_cast<ULONG_PTR>(region.BaseAddress) + region.RegionSize -
                view.environment;
    const bool capped = bytes > kMaxEnvironmentBytes;
    if (capped)
        bytes = kMaxEnvironmentBytes;
    HeapBytes block(static_cast<size_t>(bytes));
    size_t end = 0;
    if (!bytes || !ReadRemote(process, view.environment, block.bytes, static_cast<size_t>(bytes)))
        return nullptr;
    WalkEnvironment(block.bytes, static_cast<size_t>(bytes), NoteEntryEnd, &end);
    // The empty entry that ends the block lies right after the last whole one, when it was read.
    *cut = capped && !(end + 2 <= bytes && !block.bytes[end] && !block.bytes[end + 1]);
    return ToAnsi(block.bytes, end); // the entries with their NULs, and one more
}

} // namespace

bool SystemIs64Bit()
{
    return kProgramBits == 64 || ProgramIsWow64();
}

void ReadRecordTexts(ProcessRecord *record)
{
    if (record->kind != KindProcess)
        return;
    OpenProcessHandle process(record->id);
    if (!process.handle)
        return;
    record->texts.commandLine = CommandLineOf(process.handle, process.canRead);
    const char *user = UserNameOf(process.handle);
    record->texts.userName = *user ? HeapCopy(user) : nullptr;
    record->texts.bits = static_cast<BYTE>(BitsOf(process.handle));
}

int ProcessBits(DWORD processId)
{
    OpenProcessHandle process(processId);
    return process.handle ? BitsOf(process.handle) : 0;
}

StartupStatus ReadStartupRecord(DWORD processId, StartupRecord *record)
{
    OpenProcessHandle process(processId);
    if (!process.handle)
        return StartupDenied;
    if (BitsOf(process.handle) > kProgramBits)
        return StartupNeedsX64;
    if (!process.canRead)
        return StartupDenied;
    ParamsCopy copy;
    const StartupStatus status = ReadParams(process.handle, &copy);
    if (status != StartupRead)
        return status;
    for (int i = 0; i < ParamTextCount; ++i)
        record->texts[i] = ParamTextOf(process.handle, copy, static_cast<ParamText>(i));
    record->showWindow = copy.view.showWindow;
    record->showWindowGiven = copy.view.showWindowGiven;
    record->environment = ReadEnvironment(process.handle, copy.view, &record->environmentCut);
    return StartupRead;
}

void FreeStartupRecord(StartupRecord *record)
{
    for (char *&text : record->texts) {
        std::free(text);
        text = nullptr;
    }
    std::free(record->environment);
    record->environment = nullptr;
}
