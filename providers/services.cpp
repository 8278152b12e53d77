#include "providers/services.h"

#include <cstdlib>
#include <cstring>

#include "core/exports.h"

namespace {

typedef SC_HANDLE(WINAPI *OpenSCManagerAFn)(const char *machine, const char *database,
                                           DWORD access);
typedef BOOL(WINAPI *EnumServicesStatusExAFn)(SC_HANDLE manager, SC_ENUM_TYPE level,
                                              DWORD serviceType, DWORD serviceState, BYTE *buffer,
                                              DWORD size, DWORD *needed, DWORD *returned,
                                              DWORD *resume, const char *group);
typedef BOOL(WINAPI *CloseServiceHandleFn)(SC_HANDLE handle);

struct ServiceApi {
    OpenSCManagerAFn OpenSCManagerA;
    EnumServicesStatusExAFn EnumServicesStatusExA;
    CloseServiceHandleFn CloseServiceHandle;
};
ServiceApi g_serviceApi;

const ExportSlot kServiceSlots[] = {
    {"OpenSCManagerA", &g_serviceApi.OpenSCManagerA},
    {"EnumServicesStatusExA", &g_serviceApi.EnumServicesStatusExA},
    {"CloseServiceHandle", &g_serviceApi.CloseServiceHandle},
};
const ExportLibrary kServiceLibraries[] = {
    Library("ADVAPI32.DLL", kLoadWhenMissing, kOptional, kServiceSlots),
};

bool ServiceApiBound()
{
    static int bound = -1;
    if (bound < 0)
        bound = BindLibraries(g_systemExports, kServiceLibraries) ? 1 : 0;
    return bound == 1;
}

// Appends `name` to a heap text, joined by ", "; the text is replaced (and the old one freed).
char *Joined(char *text, const char *name)
{
    const size_t had = text ? std::strlen(text) : 0;
    const size_t length = std::strlen(name);
    char *joined = static_cast<char *>(std::malloc(had + 2 + length + 1));
    if (!joined)
        return text;
    char *end = joined;
    if (text) {
        std::memcpy(end, text, had);
        end += had;
        std::memcpy(end, ", ", 2);
        end += 2;
    }
    std::memcpy(end, name, length + 1);
    std::free(text);
    return joined;
}

// The enumeration buffer grows to what the manager asks for, up to this.
const DWORD kMostBytes = 4 * 1024 * 1024;

// A row of the enumeration by its process, then by its place.
struct RowPlace {
    DWORD processId;
    size_t row;
};

int CompareRowPlaces(const void *first, const void *second)
{
    const RowPlace &a = *static_cast<const RowPlace *>(first);
    const RowPlace &b = *static_cast<const RowPlace *>(second);
    if (a.processId != b.processId)
        return a.processId < b.processId ? -1 : 1;
    return a.row < b.row ? -1 : (a.row > b.row ? 1 : 0);
}

} // namespace

void JoinServiceNames(const ServiceRow *rows, size_t count, std::vector<ServiceText> *texts)
{
    texts->clear();
    // The rows by process, keeping the enumeration's order within each process.
    std::vector<RowPlace> order;
    for (size_t i = 0; i < count; ++i)
        if (rows[i].processId && rows[i].name && *rows[i].name)
            order.push_back(RowPlace{rows[i].processId, i});
    if (!order.empty())
        std::qsort(order.data(), order.size(), sizeof order[0], CompareRowPlaces);
    for (const RowPlace &place : order) {
        const ServiceRow &row = rows[place.row];
        if (texts->empty() || texts->back().processId != row.processId)
            texts->push_back(ServiceText{row.processId, nullptr});
        texts->back().names = Joined(texts->back().names, row.name);
    }
}

void ReadServiceTexts(std::vector<ServiceText> *texts)
{
    texts->clear();
    if (!ServiceApiBound())
        return;
    SC_HANDLE manager =
        g_serviceApi.OpenSCManagerA(nullptr, nullptr, SC_MANAGER_ENUMERATE_SERVICE);
    if (!manager)
        return;
    DWORD size = 64 * 1024;
    BYTE *buffer = nullptr;
    DWORD returned = 0;
    for (;;) {
        std::free(buffer);
        buffer = static_cast<BYTE *>(std::malloc(size));
        DWORD needed = 0, resume = 0;
        returned = 0;
        if (!buffer)
            break;
        if (g_serviceApi.EnumServicesStatusExA(manager, SC_ENUM_PROCESS_INFO, SERVICE_WIN32,
                                               SERVICE_ACTIVE, buffer, size, &needed, &returned,
                                               &resume, nullptr))
            break;
        returned = 0;
        // Services started meanwhile may need a little more than the manager said.
        if (GetLastError() != ERROR_MORE_DATA || needed == 0 || needed > kMostBytes ||
            size > kMostBytes)
            break;
        size += needed + 4096;
    }
    g_serviceApi.CloseServiceHandle(manager);
    const ENUM_SERVICE_STATUS_PROCESSA *services =
        reinterpret_cast<const ENUM_SERVICE_STATUS_PROCESSA *>(buffer);
    std::vector<ServiceRow> rows;
    // The count comes from the manager with the buffer it filled; the rows lie at its start.
    const size_t most = buffer ? size / sizeof *services : 0;
    for (DWORD i = 0; i < returned && i < most; ++i)
        rows.push_back(ServiceRow{services[i].lpServiceName,
                                  services[i].ServiceStatusProcess.dwProcessId});
    JoinServiceNames(rows.data(), rows.size(), texts);
    std::free(buffer);
}
