// Run-time binding of both providers' entry points. Nothing here is imported directly, so the
// same executable starts on Windows 95 and on NT.
#include <cstring>

#include "app/appstate.h"
#include "providers/provider.h"

NtApi g_ntApi;
ToolhelpApi g_toolhelpApi;

static HMODULE SystemGetModule(const char *name)
{
    return GetModuleHandleA(name);
}

static HMODULE SystemLoadLibrary(const char *name)
{
    return LoadLibraryA(name);
}

static FARPROC SystemGetProc(HMODULE module, const char *name)
{
    return GetProcAddress(module, name);
}

const ExportSource g_systemExports = {SystemGetModule, SystemLoadLibrary, SystemGetProc};

namespace {

// One export to look up and the slot (a function pointer of any type) that receives it.
struct ExportSlot {
    const char *name;
    void *slot;
};

// Stores every export of the table into its slot (null when missing); true when all were found.
bool BindTable(const ExportSource &source, HMODULE module, const ExportSlot *table, size_t count)
{
    bool all = true;
    for (size_t i = 0; i < count; ++i) {
        FARPROC proc = module ? source.getProc(module, table[i].name) : nullptr;
        std::memcpy(table[i].slot, &proc, sizeof proc); // slots are function pointers
        all = all && proc != nullptr;
    }
    return all;
}

} // namespace

bool BindNtProvider(const ExportSource &source)
{
    NtApi &api = g_ntApi;
    const ExportSlot psapi[] = {
        {"GetModuleInformation", &api.GetModuleInformation},
        {"GetModuleFileNameExA", &api.GetModuleFileNameExA},
        {"GetModuleFileNameExW", &api.GetModuleFileNameExW},
        {"GetModuleBaseNameA", &api.GetModuleBaseNameA},
        {"EnumProcessModules", &api.EnumProcessModules},
        {"EnumProcesses", &api.EnumProcesses},
    };
    const ExportSlot psapiOptional[] = {{"EnumProcessModulesEx", &api.EnumProcessModulesEx}};
    const ExportSlot ntdll[] = {
        {"NtQueryInformationProcess", &api.NtQueryInformationProcess},
        {"NtQuerySystemInformation", &api.NtQuerySystemInformation},
    };
    const ExportSlot kernel[] = {
        {"QueryFullProcessImageNameA", &api.QueryFullProcessImageNameA},
        {"IsWow64Process", &api.IsWow64Process},
    };
    const ExportSlot vdmdbg[] = {
        {"VDMTerminateTaskWOW", &api.VDMTerminateTaskWOW},
        {"VDMEnumTaskWOWEx", &api.VDMEnumTaskWOWEx},
        {"VDMEnumProcessWOW", &api.VDMEnumProcessWOW},
    };

    HMODULE module = source.getModule("PSAPI.DLL");
    if (!module)
        module = source.loadLibrary("PSAPI.DLL");
    if (!module)
        return false;
    const bool required = BindTable(source, module, psapi, sizeof psapi / sizeof psapi[0]);
    BindTable(source, module, psapiOptional, 1);
    BindTable(source, source.getModule("NTDLL.DLL"), ntdll, sizeof ntdll / sizeof ntdll[0]);
    BindTable(source, source.getModule("KERNEL32.DLL"), kernel, sizeof kernel / sizeof kernel[0]);
    BindTable(source, source.loadLibrary("VDMDBG.DLL"), vdmdbg, sizeof vdmdbg / sizeof vdmdbg[0]);
    return required;
}

bool Bind9xProvider(const ExportSource &source)
{
    ToolhelpApi &api = g_toolhelpApi;
    const ExportSlot kernel[] = {
        {"CreateToolhelp32Snapshot", &api.CreateToolhelp32Snapshot},
        {"Module32First", &api.Module32First},
        {"Module32Next", &api.Module32Next},
        {"Process32First", &api.Process32First},
        {"Process32Next", &api.Process32Next},
        {"Thread32First", &api.Thread32First},
        {"Thread32Next", &api.Thread32Next},
        {"Heap32ListFirst", &api.Heap32ListFirst},
        {"Heap32ListNext", &api.Heap32ListNext},
        {"Heap32First", &api.Heap32First},
        {"Heap32Next", &api.Heap32Next},
    };
    HMODULE module = source.getModule("KERNEL32.DLL");
    if (!module)
        return false;
    return BindTable(source, module, kernel, sizeof kernel / sizeof kernel[0]);
}

bool BindProvider()
{
    return IsNt ? BindNtProvider(g_systemExports) : Bind9xProvider(g_systemExports);
}
