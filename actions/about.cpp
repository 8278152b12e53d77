#include "actions/about.h"

#include <cstring>

#include "core/appstate.h"
#include "core/dialoghost.h"
#include "resource.h"

namespace {

// No buttons: Enter and Escape arrive as IDOK and IDCANCEL.
const int kAboutEndings[] = {IDOK, 0};
const DialogSpec kAboutDialog = {.endings = kAboutEndings};

} // namespace

LRESULT OnAboutCommand(HWND, WPARAM, WORD, LPARAM)
{
    OpenView(g_mainWindow, IDD_ABOUT, &kAboutDialog);
    return 0;
}

bool MakeHelpPath(const char *modulePath, char *help, size_t size)
{
    static const char kExtension[] = ".hlp";
    if (!size)
        return false;
    help[0] = '\0';
    const char *slash = FindLastChar(modulePath, '\\');
    const char *fileName = slash ? NextChar(slash) : modulePath;
    const char *dot = FindLastChar(fileName, '.');
    const size_t keep = dot ? static_cast<size_t>(dot - modulePath) : std::strlen(modulePath);
    if (keep + sizeof kExtension > size)
        return false;
    std::memcpy(help, modulePath, keep);
    std::memcpy(help + keep, kExtension, sizeof kExtension);
    return true;
}

LRESULT OnHelpCommand(HWND window, WPARAM, WORD, LPARAM)
{
    char module[MAX_PATH];
    char help[MAX_PATH + sizeof ".hlp"];
    const DWORD length = GetModuleFileNameA(nullptr, module, sizeof module);
    if (length == 0 || length >= sizeof module) // failed, or the path was cut short
        return 0;
    if (MakeHelpPath(module, help, sizeof help))
        WinHelpA(window, help, HELP_INDEX, 0);
    return 0;
}
