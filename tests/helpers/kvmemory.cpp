// A second test helper: it sets up memory regions of known kinds, prints where they are and
// idles until killed, so that the tests can look at its address space from outside.
// Standard output, one line per region, addresses and sizes in hexadecimal:
//   image BASE             the program's own image
//   private BASE SIZE      committed private read-write memory
//   reserve BASE SIZE      reserved private memory (allocation protection read-write)
//   guard BASE SIZE        committed read-write memory with guard pages
//   nocache BASE SIZE      committed read-write memory that is not cached
//   mapped BASE SIZE       a read-only view of a file (more than 4 GB on a 64-bit build)
//   ready
#include <windows.h>

#include <cstdio>

namespace {

#ifdef _WIN64
const ULONGLONG kMappedSize = 5ULL * 1024 * 1024 * 1024 + 4096;
#else
const ULONGLONG kMappedSize = 64 * 1024 + 4096;
#endif

void Print(const char *kind, const void *base, SIZE_T size)
{
    std::printf("%s %llx %llx\n", kind,
                static_cast<unsigned long long>(reinterpret_cast<ULONG_PTR>(base)),
                static_cast<unsigned long long>(size));
}

void Allocate(const char *kind, SIZE_T size, DWORD type, DWORD protect)
{
    void *base = VirtualAlloc(nullptr, size, type, protect);
    if (base)
        Print(kind, base, size);
}

// The file is sparse and deleted when the helper ends; the view is never touched.
void MapFile()
{
    char folder[MAX_PATH], path[MAX_PATH];
    if (!GetTempPathA(sizeof folder, folder) || !GetTempFileNameA(folder, "kvm", 0, path))
        return;
    HANDLE file = CreateFileA(path, GENERIC_READ | GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                              FILE_ATTRIBUTE_TEMPORARY | FILE_FLAG_DELETE_ON_CLOSE, nullptr);
    if (file == INVALID_HANDLE_VALUE)
        return;
    HANDLE mapping = CreateFileMappingA(file, nullptr, PAGE_READONLY,
                                        static_cast<DWORD>(kMappedSize >> 32),
                                        static_cast<DWORD>(kMappedSize), nullptr);
    // Extending the file needs write access; try again after growing it by hand.
    if (!mapping) {
        LARGE_INTEGER end;
        end.QuadPart = static_cast<LONGLONG>(kMappedSize);
        if (SetFilePointerEx(file, end, nullptr, FILE_BEGIN) && SetEndOfFile(file))
            mapping = CreateFileMappingA(file, nullptr, PAGE_READONLY, 0, 0, nullptr);
    }
    if (!mapping)
        return;
    const void *view = MapViewOfFile(mapping, FILE_MAP_READ, 0, 0, static_cast<SIZE_T>(kMappedSize));
    if (view)
        Print("mapped", view, static_cast<SIZE_T>(kMappedSize));
}

} // namespace

int main()
{
    std::printf("image %llx\n",
                static_cast<unsigned long long>(reinterpret_cast<ULONG_PTR>(GetModuleHandleA(nullptr))));
    Allocate("private", 0x30000, MEM_RESERVE | MEM_COMMIT, PAGE_READWRITE);
    Allocate("reserve", 0x100000, MEM_RESERVE, PAGE_READWRITE);
    Allocate("guard", 0x10000, MEM_RESERVE | MEM_COMMIT, PAGE_READWRITE | PAGE_GUARD);
    Allocate("nocache", 0x10000, MEM_RESERVE | MEM_COMMIT, PAGE_READWRITE | PAGE_NOCACHE);
    MapFile();
    std::printf("ready\n");
    std::fflush(stdout);
    Sleep(INFINITE);
    return 0;
}
