// Run-time binding, the one way the program reaches a system function that Windows 95 or an
// older NT may lack: a table per library names each export and the function pointer that
// receives it. Header-only, so that app/compat95.cpp, which is linked into each executable ahead
// of the runtime and of our library, binds the same way without pulling the library in.
#pragma once
#include <windows.h>

#include <cstddef>
#include <cstring>

// Where binding finds libraries and exports. The real one asks the system; tests substitute
// one that hides chosen libraries or exports.
struct ExportSource {
    HMODULE (*getModule)(const char *name); // already loaded only
    HMODULE (*loadLibrary)(const char *name);
    FARPROC (*getProc)(HMODULE module, const char *name);
};

inline HMODULE SystemGetModule(const char *name)
{
    return GetModuleHandleA(name);
}

inline HMODULE SystemLoadLibrary(const char *name)
{
    return LoadLibraryA(name);
}

inline FARPROC SystemGetProc(HMODULE module, const char *name)
{
    return GetProcAddress(module, name);
}

inline const ExportSource g_systemExports = {SystemGetModule, SystemLoadLibrary, SystemGetProc};

// One export to look up and the slot (a function pointer of any type) that receives it.
struct ExportSlot {
    const char *name;
    void *slot;
};

// How a library is found: only when the process has it loaded already, or loaded when missing.
enum LibraryUse { kLoadedOnly, kLoadWhenMissing };
// Whether binding fails without the library or one of the exports of its table.
enum LibraryNeed { kOptional, kRequired };

// A library and the table of exports bound from it.
struct ExportLibrary {
    const char *name;
    LibraryUse use;
    LibraryNeed need;
    const ExportSlot *slots;
    size_t count;
};

template <size_t N>
constexpr ExportLibrary Library(const char *name, LibraryUse use, LibraryNeed need,
                                const ExportSlot (&slots)[N])
{
    return ExportLibrary{name, use, need, slots, N};
}

// Fills every slot of the library's table from `module` (all null without it); true when every
// export was found.
inline bool FillSlots(const ExportSource &source, HMODULE module, const ExportLibrary &library)
{
    bool all = module != nullptr;
    for (size_t i = 0; i < library.count; ++i) {
        FARPROC proc = module ? source.getProc(module, library.slots[i].name) : nullptr;
        std::memcpy(library.slots[i].slot, &proc, sizeof proc); // slots are function pointers
        all = all && proc != nullptr;
    }
    return all;
}

// Binds the libraries in order. A required library that is missing ends the binding there,
// before any later library is looked for. True when every required table was filled completely.
inline bool BindLibraries(const ExportSource &source, const ExportLibrary *libraries, size_t count)
{
    bool complete = true;
    for (size_t i = 0; i < count; ++i) {
        const ExportLibrary &library = libraries[i];
        HMODULE module = source.getModule(library.name);
        if (!module && library.use == kLoadWhenMissing)
            module = source.loadLibrary(library.name);
        if (!module && library.need == kRequired)
            return false;
        const bool all = FillSlots(source, module, library);
        complete = complete && (all || library.need == kOptional);
    }
    return complete;
}

template <size_t N> bool BindLibraries(const ExportSource &source, const ExportLibrary (&libraries)[N])
{
    return BindLibraries(source, libraries, N);
}
