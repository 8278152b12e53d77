// A program that carries nothing but its version record. Started with any argument it stays
// alive for a minute, so that the tests can also look at it as a running process.
#include <windows.h>

int main(int argc, char **)
{
    if (argc > 1)
        Sleep(60000);
    return 0;
}
