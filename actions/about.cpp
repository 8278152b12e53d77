#include "actions/about.h"

#include <cstring>

#include "core/appstate.h"
#include "core/dialoghost.h"
#include "core/dpi.h"
#include "core/sysapi.h"
#include "resource.h"

namespace {

// No buttons: Enter and Escape arrive as IDOK and IDCANCEL.
const int kAboutEndings[] = {IDOK, 0};

// The picture's static control: the dialog's only one that shows a bitmap.
HWND PictureControl(HWND dialog)
{
    for (HWND child = GetWindow(dialog, GW_CHILD); child; child = GetWindow(child, GW_HWNDNEXT))
        if (SendMessageA(child, STM_GETIMAGE, IMAGE_BITMAP, 0))
            return child;
    return nullptr;
}

// A screen too small for the dialog at its DPI (192 dpi on 1024x768) shrinks the picture, its
// proportions kept, to the room the dialog has there below and right of it.
void FitPicture(HWND dialog, HWND picture, SIZE *shown)
{
    FitToWorkArea(dialog);
    RECT client, place;
    GetClientRect(dialog, &client);
    GetWindowRect(picture, &place);
    MapWindowPoints(nullptr, dialog, reinterpret_cast<POINT *>(&place), 2);
    const int width = client.right - place.left - place.left; // the margin left of it, right too
    const int height = client.bottom - place.top - place.left;
    if (width <= 0 || height <= 0 || (shown->cx <= width && shown->cy <= height))
        return;
    if (static_cast<long long>(shown->cx) * height > static_cast<long long>(shown->cy) * width) {
        shown->cy = MulDiv(shown->cy, width, shown->cx);
        shown->cx = width;
    } else {
        shown->cx = MulDiv(shown->cx, height, shown->cy);
        shown->cy = height;
    }
}

// The picture is drawn for a 96-dpi screen; on another it is stretched to the same size in
// inches, as the text around it is, as far as the screen has room for it.
void ScalePicture(DialogHost *host)
{
    HWND picture = PictureControl(host->dialog);
    if (!picture)
        return;
    const int dpi = ScreenDpi(host->dialog);
    HBITMAP original =
        reinterpret_cast<HBITMAP>(SendMessageA(picture, STM_GETIMAGE, IMAGE_BITMAP, 0));
    BITMAP size = {};
    if (!GetObjectA(original, sizeof size, &size))
        return;
    SIZE shown = {ScaleFrom96(size.bmWidth, dpi), ScaleFrom96(size.bmHeight, dpi)};
    FitPicture(host->dialog, picture, &shown);
    if (shown.cx == size.bmWidth && shown.cy == size.bmHeight)
        return;
    HANDLE scaled = CopyImage(original, IMAGE_BITMAP, shown.cx, shown.cy, 0);
    if (!scaled)
        return;
    SendMessageA(picture, STM_SETIMAGE, IMAGE_BITMAP, reinterpret_cast<LPARAM>(scaled));
    DeleteObject(original); // loaded by the control for itself
}

// The control does not delete a picture it was given: it hands back whichever it shows, which
// is deleted here.
void DeletePicture(DialogHost *host)
{
    HWND picture = PictureControl(host->dialog);
    if (picture)
        DeleteObject(reinterpret_cast<HGDIOBJ>(
            SendMessageA(picture, STM_SETIMAGE, IMAGE_BITMAP, 0)));
}

const DialogSpec kAboutDialog = {
    .endings = kAboutEndings,
    .init = ScalePicture,
    .destroy = DeletePicture,
};

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
