#include "actions/about.h"

#include <cstring>

#include "app/appstate.h"
#include "app/dialogs.h"
#include "app/mainwnd.h"
#include "resource.h"

const int kAboutEnds[] = {IDOK, IDCANCEL, 0};

INT_PTR CALLBACK AboutDialogProc(HWND dialog, UINT message, WPARAM wParam, LPARAM)
{
    switch (message) {
    case WM_INITDIALOG:
        ApplyDbcsFont(dialog);
        return TRUE;
    case WM_COMMAND: // no buttons: Enter and Escape arrive as IDOK and IDCANCEL
    case WM_CLOSE:
        EndDialogOn(dialog, message, wParam, kAboutEnds);
        return TRUE;
    }
    return FALSE;
}

LRESULT OnAboutCommand(HWND, WPARAM, WORD, LPARAM)
{
    DialogBoxParamA(g_instance, MAKEINTRESOURCEA(IDD_ABOUT), g_mainWindow, AboutDialogProc, 0);
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
