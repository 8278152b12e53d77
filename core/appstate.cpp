#include "core/appstate.h"

#include <cstdlib>
#include <cstring>

#include "resource.h"

bool IsNt = false;
bool IsNt5 = false;
HINSTANCE g_instance = nullptr;
char g_windowTitle[MAX_PATH];
char g_className[MAX_PATH];
HICON g_smallIcon = nullptr;
HICON g_usageIcon = nullptr;
HWND g_mainWindow = nullptr;

bool DetectOsFromVersion(DWORD version)
{
    IsNt = (version & 0x80000000u) == 0;
    IsNt5 = IsNt && (version & 0xFFu) > 4;
    return IsNt;
}

bool DetectOs()
{
    return DetectOsFromVersion(GetVersion());
}

char *LoadResString(UINT id)
{
    char *text = static_cast<char *>(std::malloc(MAX_PATH));
    if (!text)
        return nullptr;
    // A null instance handle resolves to the executable itself, which carries the same strings.
    int length = LoadStringA(g_instance, id, text, MAX_PATH);
    if (length <= 0)
        length = 0;
    text[length < MAX_PATH ? length : MAX_PATH - 1] = '\0';
    return text;
}

void FreeResString(char *text)
{
    std::free(text);
}

const char *ResText(UINT id)
{
    struct Loaded {
        UINT id;
        char *text;
    };
    static Loaded *loaded;
    static size_t count, capacity;
    for (size_t i = 0; i < count; ++i)
        if (loaded[i].id == id)
            return loaded[i].text;
    if (count == capacity) {
        const size_t grown = capacity ? 2 * capacity : 64;
        void *more = std::realloc(loaded, grown * sizeof *loaded);
        if (!more)
            return "";
        loaded = static_cast<Loaded *>(more);
        capacity = grown;
    }
    char *text = LoadResString(id);
    if (!text)
        return "";
    loaded[count++] = {id, text};
    return text;
}

int ShowResMessage(HWND owner, UINT id, UINT type)
{
    char *text = LoadResString(id);
    int result = MessageBoxA(owner, text, g_className, type);
    FreeResString(text);
    return result;
}

const char *NextChar(const char *p)
{
    return CharNextExA(CP_ACP, p, 0);
}

const char *FindChar(const char *p, char c)
{
    if (!p)
        return nullptr;
    for (; *p; p = NextChar(p))
        if (*p == c)
            return p;
    return nullptr;
}

const char *FindLastChar(const char *p, char c)
{
    const char *last = nullptr;
    if (!p)
        return nullptr;
    for (; *p; p = NextChar(p))
        if (*p == c)
            last = p;
    return last;
}
