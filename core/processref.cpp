#include "core/processref.h"

#include <winternl.h>

#include <cstddef>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "core/appstate.h"
#include "core/columns.h"
#include "core/processcells.h"
#include "core/processlist.h"
#include "core/sysapi.h"
#include "resource.h"

namespace {

const int kSystemProcessInformation = 5;
const LONG kStatusInfoLengthMismatch = static_cast<LONG>(0xC0000004);
const ULONG kFirstQuerySize = 64 * 1024;
const ULONG kLastQuerySize = 16 * 1024 * 1024;

// The start time of process `id` in the system's process block; 0 when it has no entry. Only
// entries whose fields lie wholly inside the block are read, and every step must advance.
ULONGLONG StartTimeIn(const unsigned char *block, size_t size, DWORD id)
{
    const size_t needed = offsetof(SYSTEM_PROCESS_INFORMATION, InheritedFromUniqueProcessId);
    for (size_t offset = 0; size - offset >= needed;) {
        const unsigned char *entry = block + offset;
        HANDLE entryId;
        std::memcpy(&entryId, entry + offsetof(SYSTEM_PROCESS_INFORMATION, UniqueProcessId),
                    sizeof entryId);
        if (static_cast<DWORD>(reinterpret_cast<ULONG_PTR>(entryId)) == id) {
            LARGE_INTEGER time;
            std::memcpy(&time, entry + offsetof(SYSTEM_PROCESS_INFORMATION, CreateTime),
                        sizeof time);
            return static_cast<ULONGLONG>(time.QuadPart);
        }
        ULONG next;
        std::memcpy(&next, entry, sizeof next);
        if (next < needed || next > size - offset)
            break;
        offset += next;
    }
    return 0;
}

// When the system says process `id` started (a FILETIME); 0 where it cannot tell (Windows 9x, no
// such process, or no answer within the size limit).
ULONGLONG SystemStartTime(DWORD id)
{
    LONG(WINAPI *const query)(int, PVOID, ULONG, PULONG) = SysApi().NtQuerySystemInformation;
    for (ULONG size = kFirstQuerySize; query && size <= kLastQuerySize; size *= 2) {
        void *block = std::malloc(size);
        if (!block)
            return 0;
        ULONG returned = 0;
        const LONG status = query(kSystemProcessInformation, block, size, &returned);
        const ULONGLONG time =
            status >= 0 ? StartTimeIn(static_cast<const unsigned char *>(block),
                                      returned && returned < size ? returned : size, id)
                        : 0;
        std::free(block);
        if (status != kStatusInfoLengthMismatch)
            return time;
    }
    return 0;
}

// Whether the system has no running process `id`. A process that exists but refuses to be
// opened counts as running.
bool SystemLacks(DWORD id)
{
    HANDLE process = OpenProcess(PROCESS_QUERY_INFORMATION, FALSE, id);
    if (!process)
        return GetLastError() == ERROR_INVALID_PARAMETER;
    DWORD code = STILL_ACTIVE;
    const bool ended = GetExitCodeProcess(process, &code) && code != STILL_ACTIVE;
    CloseHandle(process);
    return ended;
}

} // namespace

HeldProcess::HeldProcess(ProcessRecord *record)
{
    if (!record || !record->id)
        return;
    ref_ = RefOf(*record);
    lstrcpynA(name_, record->name, sizeof name_);
    lstrcpynA(shownId_, CellText(record, FindColumn(ColumnId)), sizeof shownId_);
    if (!shownId_[0])
        std::snprintf(shownId_, sizeof shownId_, "%lu", static_cast<unsigned long>(ref_.id));
    // A 16-bit task's identifier is that of a thread of its virtual DOS machine.
    if (ref_.kind != KindTask16)
        handle_ = OpenProcess(SYNCHRONIZE, FALSE, ref_.id);
}

HeldProcess::~HeldProcess()
{
    if (handle_)
        CloseHandle(handle_);
}

bool HeldProcess::OtherStart(ULONGLONG createTime) const
{
    return createTime && ref_.createTime && createTime != ref_.createTime;
}

bool HeldProcess::Ended() const
{
    if (!Held())
        return true;
    if (handle_ && WaitForSingleObject(handle_, 0) == WAIT_OBJECT_0)
        return true;
    const ProcessRecord *record = FindProcessRecord(ref_.id, ref_.kind);
    if (!record || (record->flags & RecordEnded) || OtherStart(record->createTime))
        return true;
    if (ref_.kind == KindTask16)
        return false; // only the list knows its tasks
    // Without a handle the identifier may have passed on at any time, whether or not a refresh
    // pass saw it. The start time also tells a process that had ended before the hold was
    // taken, whose identifier (and so the handle) already named a later one.
    return (!handle_ && SystemLacks(ref_.id)) || OtherStart(SystemStartTime(ref_.id));
}

bool HeldProcess::RefuseIfEnded(HWND owner) const
{
    if (!Ended())
        return false;
    char text[2 * MAX_PATH];
    std::snprintf(text, sizeof text, ResText(IDS_PROCESS_ENDED), name_, shownId_);
    MessageBoxA(owner, text, g_className, MB_OK | MB_ICONEXCLAMATION);
    return true;
}

HeldProcesses::HeldProcesses(const std::vector<ProcessRecord *> &records)
{
    for (ProcessRecord *record : records) {
        HeldProcess *held = new HeldProcess(record);
        if (held->Held())
            held_.push_back(held);
        else
            delete held;
    }
}

HeldProcesses::~HeldProcesses()
{
    for (HeldProcess *held : held_)
        delete held;
}

void ProcessReport::AddLine(const char *line)
{
    // Lines that no longer fit are left out whole; the message stays readable.
    const size_t length = std::strlen(line);
    if (used_ + length + 3 > sizeof text_)
        return;
    if (used_) {
        std::memcpy(text_ + used_, "\r\n", 2);
        used_ += 2;
    }
    std::memcpy(text_ + used_, line, length + 1);
    used_ += length;
}

void ProcessReport::Skipped(const HeldProcess &process)
{
    char line[2 * MAX_PATH];
    std::snprintf(line, sizeof line, ResText(IDS_PROCESS_ENDED), process.Name(),
                  process.ShownId());
    AddLine(line);
}

void ProcessReport::Failed(const HeldProcess &process, UINT reasonId)
{
    char reason[MAX_PATH];
    lstrcpynA(reason, ResText(reasonId), sizeof reason);
    char line[3 * MAX_PATH];
    std::snprintf(line, sizeof line, ResText(IDS_PROCESS_FAILED), process.Name(),
                  process.ShownId(), reason);
    AddLine(line);
}

void ProcessReport::Show(HWND owner) const
{
    if (used_)
        MessageBoxA(owner, text_, g_className, MB_OK | MB_ICONEXCLAMATION);
}
