#include "core/treeglyph.h"

#include "core/dpi.h"
#include "core/exports.h"

namespace {

// The visual-style functions (Windows XP and later), bound at run time.
typedef HANDLE(WINAPI *OpenThemeDataFn)(HWND window, const WCHAR *classes);
typedef HRESULT(WINAPI *CloseThemeDataFn)(HANDLE theme);
typedef HRESULT(WINAPI *DrawThemeBackgroundFn)(HANDLE theme, HDC dc, int part, int state,
                                               const RECT *rect, const RECT *clip);
typedef HRESULT(WINAPI *GetThemePartSizeFn)(HANDLE theme, HDC dc, int part, int state,
                                            const RECT *rect, int sizeType, SIZE *size);

struct ThemeApi {
    OpenThemeDataFn OpenThemeData;
    CloseThemeDataFn CloseThemeData;
    DrawThemeBackgroundFn DrawThemeBackground;
    GetThemePartSizeFn GetThemePartSize;
};
ThemeApi g_themeApi;

const ExportSlot kThemeSlots[] = {
    {"OpenThemeData", &g_themeApi.OpenThemeData},
    {"CloseThemeData", &g_themeApi.CloseThemeData},
    {"DrawThemeBackground", &g_themeApi.DrawThemeBackground},
    {"GetThemePartSize", &g_themeApi.GetThemePartSize},
};
const ExportLibrary kThemeLibraries[] = {
    Library("UXTHEME.DLL", kLoadWhenMissing, kRequired, kThemeSlots),
};

// The tree view's glyph part and its two states in the theme.
const int kGlyphPart = 2;
const int kGlyphClosed = 1;
const int kGlyphOpened = 2;
const int kTrueSize = 1;

HANDLE g_theme;
bool g_themeAsked;

HANDLE TreeTheme(HWND list)
{
    if (!g_themeAsked) {
        g_themeAsked = true;
        static const bool bound = BindLibraries(g_systemExports, kThemeLibraries);
        g_theme = bound ? g_themeApi.OpenThemeData(list, L"TREEVIEW") : nullptr;
    }
    return g_theme;
}

// A box with a minus, and a plus where closed, in the window's colours.
void DrawPlainGlyph(HDC dc, const RECT &cell, bool expanded)
{
    int size = ScaleFrom96(9, g_screenDpi) | 1; // odd: the bar sits in the middle
    const int room = (cell.right - cell.left < cell.bottom - cell.top ? cell.right - cell.left
                                                                       : cell.bottom - cell.top);
    if (size > room)
        size = room | 1;
    if (size < 5)
        return;
    const int left = (cell.left + cell.right - size) / 2;
    const int top = (cell.top + cell.bottom - size) / 2;
    HPEN frame = CreatePen(PS_SOLID, 1, GetSysColor(COLOR_GRAYTEXT));
    HPEN sign = CreatePen(PS_SOLID, 1, GetSysColor(COLOR_WINDOWTEXT));
    HGDIOBJ oldPen = SelectObject(dc, frame);
    HGDIOBJ oldBrush = SelectObject(dc, GetSysColorBrush(COLOR_WINDOW));
    Rectangle(dc, left, top, left + size, top + size);
    SelectObject(dc, sign);
    const int middleX = left + size / 2, middleY = top + size / 2, arm = size / 2 - 2;
    MoveToEx(dc, middleX - arm, middleY, nullptr);
    LineTo(dc, middleX + arm + 1, middleY);
    if (!expanded) {
        MoveToEx(dc, middleX, middleY - arm, nullptr);
        LineTo(dc, middleX, middleY + arm + 1);
    }
    SelectObject(dc, oldPen);
    SelectObject(dc, oldBrush);
    DeleteObject(frame);
    DeleteObject(sign);
}

} // namespace

void DrawTreeGlyph(HWND list, HDC dc, const RECT &cell, bool expanded)
{
    HANDLE theme = TreeTheme(list);
    if (!theme) {
        DrawPlainGlyph(dc, cell, expanded);
        return;
    }
    const int state = expanded ? kGlyphOpened : kGlyphClosed;
    SIZE size = {cell.right - cell.left, cell.bottom - cell.top};
    if (FAILED(g_themeApi.GetThemePartSize(theme, dc, kGlyphPart, state, nullptr, kTrueSize,
                                           &size)))
        size = {cell.right - cell.left, cell.bottom - cell.top};
    RECT glyph;
    glyph.left = (cell.left + cell.right - size.cx) / 2;
    glyph.top = (cell.top + cell.bottom - size.cy) / 2;
    glyph.right = glyph.left + size.cx;
    glyph.bottom = glyph.top + size.cy;
    g_themeApi.DrawThemeBackground(theme, dc, kGlyphPart, state, &glyph, nullptr);
}

void ForgetTreeGlyphTheme()
{
    if (g_theme)
        g_themeApi.CloseThemeData(g_theme);
    g_theme = nullptr;
    g_themeAsked = false;
}
