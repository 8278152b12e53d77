#include "app/appstate.h"

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

char *g_titleModules;
char *g_titleModuleUsage;
char *g_titleBadVersion;
char *g_titleProcessTree;
char *g_titleStartupInfo;
char *g_titleThreads;
char *g_titlePriority;
char *g_titleMemory;
char *g_titleHeap;

const LazyStringTable g_viewTitleTable[] = {
    {&g_titleModules, IDS_TITLE_MODULES},
    {&g_titleModuleUsage, IDS_TITLE_MODULEUSAGE},
    {&g_titleBadVersion, IDS_TITLE_BADVERSION},
    {&g_titleProcessTree, IDS_TITLE_PROCESSTREE},
    {&g_titleStartupInfo, IDS_TITLE_STARTUPINFO},
    {&g_titleThreads, IDS_TITLE_THREADS},
    {&g_titlePriority, IDS_TITLE_PRIORITY},
    {&g_titleMemory, IDS_TITLE_MEMORY},
    {&g_titleHeap, IDS_TITLE_HEAP},
    {nullptr, 0},
};

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

void LoadLazyStrings(const LazyStringTable *table)
{
    for (; table->slot && !*table->slot; ++table)
        *table->slot = LoadResString(table->id);
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
