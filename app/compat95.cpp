// The C++ runtime of the 32-bit build brings in a thread library that imports four kernel
// functions Windows 95 does not have; an executable importing them would not even start there.
// This file supplies those import slots itself, bound at run time: the real function where the
// system has it, a plain fallback where it does not. It is linked straight into each 32-bit
// executable (not through the library) so that its slots are found before the import library's;
// the binding helper it uses is header-only for that reason.
#include <windows.h>

#include "core/exports.h"

#if !defined(_WIN64)

namespace {

typedef ULONGLONG(WINAPI *TickCount64Fn)();
typedef PVOID(WINAPI *AddVectoredFn)(ULONG, PVECTORED_EXCEPTION_HANDLER);
typedef ULONG(WINAPI *RemoveVectoredFn)(PVOID);
typedef BOOL(WINAPI *DebuggerPresentFn)();

struct NewerKernelApi {
    TickCount64Fn GetTickCount64;
    AddVectoredFn AddVectoredExceptionHandler;
    RemoveVectoredFn RemoveVectoredExceptionHandler;
    DebuggerPresentFn IsDebuggerPresent; // from Windows 98 and NT 4 on
};
NewerKernelApi s_kernel;

const ExportSlot kNewerKernel[] = {
    {"GetTickCount64", &s_kernel.GetTickCount64},
    {"AddVectoredExceptionHandler", &s_kernel.AddVectoredExceptionHandler},
    {"RemoveVectoredExceptionHandler", &s_kernel.RemoveVectoredExceptionHandler},
    {"IsDebuggerPresent", &s_kernel.IsDebuggerPresent},
};
const ExportLibrary kNewerKernelLibraries[] = {
    Library("KERNEL32.DLL", kLoadedOnly, kOptional, kNewerKernel),
};

// The system's functions, bound on the first call of any of them.
const NewerKernelApi &Kernel()
{
    static const bool bound = BindLibraries(g_systemExports, kNewerKernelLibraries);
    (void)bound;
    return s_kernel;
}

ULONGLONG WINAPI TickCount64()
{
    if (Kernel().GetTickCount64)
        return Kernel().GetTickCount64();
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
    const AddVectoredFn real = Kernel().AddVectoredExceptionHandler;
    return real ? real(first, handler) : nullptr; // no vectored handlers before XP
}

ULONG WINAPI RemoveVectoredHandler(PVOID handle)
{
    const RemoveVectoredFn real = Kernel().RemoveVectoredExceptionHandler;
    return real && handle ? real(handle) : 0;
}

BOOL WINAPI DebuggerPresent()
{
    const DebuggerPresentFn real = Kernel().IsDebuggerPresent;
    return real ? real() : FALSE;
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
extern void *const kImportDebuggerPresent __asm__("__imp__IsDebuggerPresent@0");
void *const kImportDebuggerPresent = reinterpret_cast<void *>(DebuggerPresent);
}

#endif
