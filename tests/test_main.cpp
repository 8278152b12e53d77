// Test entry: the library code reads its strings and templates from this executable, which
// carries the same resource script as the program, and registers the same dialog class.
#include <gtest/gtest.h>
#include <windows.h>

#include "app/startup.h"
#include "core/appstate.h"

int main(int argc, char **argv)
{
    testing::InitGoogleTest(&argc, argv);
    g_instance = GetModuleHandleA(nullptr);
    LoadStringA(g_instance, 1, g_className, MAX_PATH);
    LoadStringA(g_instance, 2, g_windowTitle, MAX_PATH);
    RegisterDialogClass(g_instance); // every dialog template names this class
    return RUN_ALL_TESTS();
}
