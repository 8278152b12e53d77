#include "core/textcompare.h"

#include <windows.h>

int CompareText(const char *a, const char *b)
{
    return CompareStringA(LOCALE_USER_DEFAULT,
                          NORM_IGNORECASE | NORM_IGNOREKANATYPE | NORM_IGNOREWIDTH, a, -1, b,
                          -1) -
           2;
}
