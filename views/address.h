// How the views print addresses and pointer-sized byte counts: 8 hexadecimal digits on the 32-bit
// build, 16 on the 64-bit build. The arguments are ULONG_PTR / SIZE_T values, which these
// conversions match exactly on both builds (unsigned long there, unsigned long long here).
#pragma once
#include <windows.h>

#if defined(_WIN64)
#define ADDRESS_FORMAT "%016llx"
#define SIZE_FORMAT "%8llu" // right-aligned in 8 characters, longer when it must be
#else
#define ADDRESS_FORMAT "%08lx"
#define SIZE_FORMAT "%8lu"
#endif

static_assert(sizeof(ULONG_PTR) == sizeof(void *), "addresses are pointer-sized");
static_assert(sizeof(SIZE_T) == sizeof(ULONG_PTR), "one conversion serves both");
