// The C++ runtime of the 32-bit build brings in a thread library that imports three kernel
// functions Windows 95 does not have; an executable importing them would not even start there.
// This file supplies those import slots itself, bound at run time: the real function where the
// system has it, a plain fallback where it does not. It is linked straight into each 32-bit
// executable (not through the library) so that its slots are found before the import library's.
#include <windows.h>

#if !defined(_WIN64)

namespace {

FARPROC KernelExport(const char *name)
{
    HMODULE kernel = GetModuleHandleA("KERNEL32.DLL");
    return kernel ? GetProcAddress(kernel, name) : nullptr;
}

ULONGLONG WINAPI TickCount64()
{
    typedef ULONGLONG(WINAPI * Fn)();
    static Fn real = reinterpret_cast<Fn>(reinterpret_cast<void *>(KernelExport("GetTickCount64")));
    if (real)
        return real();
    // Widen the 32-bit counter, counting its wrap-arounds.
    static DWORD last;
    static ULONGLONG high;
    const DWORD now = GetTickCount();
    if (now < last)
        high += 0x100000000ull;
    last = now;
    return high | now;
}

PVOID WINAPI AddVectoredHandler(ULONG first, PVECTORED_EXCEPTION_HANDLER handler)
{
    typedef PVOID(WINAPI * Fn)(ULONG, PVECTORED_EXCEPTION_HANDLER);
    static Fn real = reinterpret_cast<Fn>(
        reinterpret_cast<void *>(KernelExport("AddVectoredExceptionHandler")));
    return real ? real(first, handler) : nullptr; // no vectored handlers before XP
}

ULONG WINAPI RemoveVectoredHandler(PVOID handle)
{
    typedef ULONG(WINAPI * Fn)(PVOID);
    static Fn real = reinterpret_cast<Fn>(
        reinterpret_cast<void *>(KernelExport("RemoveVectoredExceptionHandler")));
    return real && handle ? real(handle) : 0;
}

} // namespace

// The import slots the runtime's references resolve to.
extern "C" {
extern void *const kImportTickCount64 __asm__("__imp__GetTickCount64@0");
void *const kImportTickCount64 = reinterpret_cast<void *>(TickCount64);
extern void *const kImportAddVectored __asm__("__imp__AddVectoredExceptionHandler@8");
void *const kImportAddVectored = reinterpret_cast<void *>(AddVectoredHandler);
extern void *const kImportRemoveVectored __asm__("__imp__RemoveVectoredExceptionHandler@4");
void *const kImportRemoveVectored = reinterpret_cast<void *>(RemoveVectoredHandler);
}

#endif
