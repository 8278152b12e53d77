#include "core/sysapi.h"

#include "core/exports.h"

namespace {

SystemApi g_api;

const ExportSlot kKernel[] = {
    {"MoveFileExA", &g_api.MoveFileExA},
    {"SystemTimeToTzSpecificLocalTime", &g_api.SystemTimeToTzSpecificLocalTime},
};
const ExportSlot kComctl[] = {
    {"DllGetVersion", &g_api.ComctlDllGetVersion},
};
const ExportLibrary kLibraries[] = {
    Library("KERNEL32.DLL", kLoadedOnly, kOptional, kKernel),
    Library("COMCTL32.DLL", kLoadedOnly, kOptional, kComctl),
};

} // namespace

const SystemApi &SysApi()
{
    static bool bound = false;
    if (!bound) {
        BindLibraries(g_systemExports, kLibraries);
        bound = true;
    }
    return g_api;
}
