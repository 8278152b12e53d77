#include "providers/debugpriv.h"

TokenApi g_tokenApi;

namespace {

const ExportSlot kToken[] = {
    {"OpenProcessToken", &g_tokenApi.OpenProcessToken},
    {"LookupPrivilegeValueA", &g_tokenApi.LookupPrivilegeValueA},
    {"AdjustTokenPrivileges", &g_tokenApi.AdjustTokenPrivileges},
};
const ExportSlot kTokenQuery[] = {
    {"GetTokenInformation", &g_tokenApi.GetTokenInformation},
    {"LookupAccountSidA", &g_tokenApi.LookupAccountSidA},
};
const ExportLibrary kTokenLibraries[] = {
    Library("ADVAPI32.DLL", kLoadedOnly, kRequired, kToken),
    Library("ADVAPI32.DLL", kLoadedOnly, kOptional, kTokenQuery),
};

} // namespace

bool BindTokenApi(const ExportSource &source)
{
    return BindLibraries(source, kTokenLibraries);
}

const TokenApi &TokenFunctions()
{
    static bool bound = false;
    if (!bound) {
        bound = true;
        BindTokenApi(g_systemExports);
    }
    return g_tokenApi;
}

void EnableDebugPrivilege(const char *privilege, DWORD attributes)
{
    const TokenApi &api = TokenFunctions();
    if (!api.OpenProcessToken || !api.LookupPrivilegeValueA || !api.AdjustTokenPrivileges)
        return;

    HANDLE token;
    if (!api.OpenProcessToken(GetCurrentProcess(), TOKEN_ADJUST_PRIVILEGES, &token))
        return;
    TOKEN_PRIVILEGES request = {};
    request.PrivilegeCount = 1;
    api.LookupPrivilegeValueA(nullptr, privilege, &request.Privileges[0].Luid);
    request.Privileges[0].Attributes = attributes;
    api.AdjustTokenPrivileges(token, FALSE, &request, 0, nullptr, nullptr);
    CloseHandle(token);
}

bool TokenCanBeElevated()
{
    const TokenApi &api = TokenFunctions();
    HANDLE token = nullptr;
    if (!api.OpenProcessToken || !api.GetTokenInformation ||
        !api.OpenProcessToken(GetCurrentProcess(), TOKEN_QUERY, &token))
        return false;
    // TokenElevationType; systems before Windows Vista refuse the class.
    const TOKEN_INFORMATION_CLASS kElevationType = static_cast<TOKEN_INFORMATION_CLASS>(18);
    const DWORD kElevationLimited = 3;
    DWORD type = 0, size = 0;
    const bool limited = api.GetTokenInformation(token, kElevationType, &type, sizeof type, &size) &&
                         type == kElevationLimited;
    CloseHandle(token);
    return limited;
}
