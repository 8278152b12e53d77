// Run-time binding of both providers' entry points. Nothing here is imported directly, so the
// same executable starts on Windows 95 and on NT.
#include "core/appstate.h"
#include "core/processtable.h"
#include "core/textcells.h"
#include "providers/fill.h"
#include "providers/procinfo.h"
#include "providers/provider.h"
#include "providers/services.h"
#include "providers/versionrecord.h"

NtApi g_ntApi;
ToolhelpApi g_toolhelpApi;

namespace {

const ExportSlot kPsapi[] = {
    {"GetModuleInformation", &g_ntApi.GetModuleInformation},
    {"GetModuleFileNameExA", &g_ntApi.GetModuleFileNameExA},
    {"GetModuleFileNameExW", &g_ntApi.GetModuleFileNameExW},
    {"GetModuleBaseNameA", &g_ntApi.GetModuleBaseNameA},
    {"EnumProcessModules", &g_ntApi.EnumProcessModules},
    {"EnumProcesses", &g_ntApi.EnumProcesses},
};
const ExportSlot kPsapiLater[] = {{"EnumProcessModulesEx", &g_ntApi.EnumProcessModulesEx}};
const ExportSlot kNtdll[] = {
    {"NtQueryInformationProcess", &g_ntApi.NtQueryInformationProcess},
    {"NtQuerySystemInformation", &g_ntApi.NtQuerySystemInformation},
    {"NtQueryObject", &g_ntApi.NtQueryObject},
};
// NT 4 has no ToolHelp32; where it exists the thread walk feeds the thread-data substitute, and
// the module walk gives Find a process's module paths in one snapshot.
const ExportSlot kNtKernel[] = {
    {"QueryFullProcessImageNameA", &g_ntApi.QueryFullProcessImageNameA},
    {"IsWow64Process", &g_ntApi.IsWow64Process},
    {"OpenThread", &g_ntApi.OpenThread},
    {"GetActiveProcessorCount", &g_ntApi.GetActiveProcessorCount},
    {"GetNativeSystemInfo", &g_ntApi.GetNativeSystemInfo},
    {"CreateToolhelp32Snapshot", &g_toolhelpApi.CreateToolhelp32Snapshot},
    {"Thread32First", &g_toolhelpApi.Thread32First},
    {"Thread32Next", &g_toolhelpApi.Thread32Next},
    {"Module32First", &g_toolhelpApi.Module32First},
    {"Module32Next", &g_toolhelpApi.Module32Next},
    {"QueryDosDeviceA", &g_ntApi.QueryDosDeviceA},
    {"GetSystemTimes", &g_ntApi.GetSystemTimes},
    {"GlobalMemoryStatusEx", &g_ntApi.GlobalMemoryStatusEx},
    {"GetTickCount64", &g_ntApi.GetTickCount64},
};
const ExportSlot kVdmdbg[] = {
    {"VDMTerminateTaskWOW", &g_ntApi.VDMTerminateTaskWOW},
    {"VDMEnumTaskWOWEx", &g_ntApi.VDMEnumTaskWOWEx},
    {"VDMEnumProcessWOW", &g_ntApi.VDMEnumProcessWOW},
};
const ExportLibrary kNtLibraries[] = {
    Library("PSAPI.DLL", kLoadWhenMissing, kRequired, kPsapi),
    Library("PSAPI.DLL", kLoadedOnly, kOptional, kPsapiLater),
    Library("NTDLL.DLL", kLoadedOnly, kOptional, kNtdll),
    Library("KERNEL32.DLL", kLoadedOnly, kOptional, kNtKernel),
    Library("VDMDBG.DLL", kLoadWhenMissing, kOptional, kVdmdbg),
};

const ExportSlot kToolhelp[] = {
    {"CreateToolhelp32Snapshot", &g_toolhelpApi.CreateToolhelp32Snapshot},
    {"Module32First", &g_toolhelpApi.Module32First},
    {"Module32Next", &g_toolhelpApi.Module32Next},
    {"Process32First", &g_toolhelpApi.Process32First},
    {"Process32Next", &g_toolhelpApi.Process32Next},
    {"Thread32First", &g_toolhelpApi.Thread32First},
    {"Thread32Next", &g_toolhelpApi.Thread32Next},
    {"Heap32ListFirst", &g_toolhelpApi.Heap32ListFirst},
    {"Heap32ListNext", &g_toolhelpApi.Heap32ListNext},
    {"Heap32First", &g_toolhelpApi.Heap32First},
    {"Heap32Next", &g_toolhelpApi.Heap32Next},
};
const ExportLibrary k9xLibraries[] = {
    Library("KERNEL32.DLL", kLoadedOnly, kRequired, kToolhelp),
};

} // namespace

bool BindNtProvider(const ExportSource &source)
{
    SetRecordTextReader(ReadRecordTexts);
    SetRecordVersionReader(ReadRecordVersionTexts);
    SetServiceReader(ReadServiceTexts);
    SetProcessReader(ReadProcesses);
    return BindLibraries(source, kNtLibraries);
}

bool Bind9xProvider(const ExportSource &source)
{
    SetRecordTextReader(nullptr); // Windows 9x has no text columns
    SetRecordVersionReader(nullptr);
    SetServiceReader(nullptr);
    SetProcessReader(ReadProcesses);
    return BindLibraries(source, k9xLibraries);
}

bool BindProvider()
{
    return IsNt ? BindNtProvider(g_systemExports) : Bind9xProvider(g_systemExports);
}
