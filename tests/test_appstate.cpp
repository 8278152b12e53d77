#include <gtest/gtest.h>

#include <cstring>

#include "core/appstate.h"
#include "resource.h"
#include "testres.h"

TEST(ResourceStrings, AbsentEmptyAndOverLongCutAt259)
{
    char *absent = LoadResString(IDS_TEST_ABSENT);
    ASSERT_NE(absent, nullptr);
    EXPECT_STREQ(absent, "");
    FreeResString(absent);

    char *longText = LoadResString(IDS_TEST_LONG);
    ASSERT_NE(longText, nullptr);
    EXPECT_EQ(std::strlen(longText), 259u);
    EXPECT_EQ(std::strncmp(longText, "0123456789", 10), 0);
    FreeResString(longText);

    char *title = LoadResString(2);
    EXPECT_STREQ(title, "Kelvane");
    FreeResString(title);
}

TEST(ResourceStrings, LoadedOnFirstUseAndKept)
{
    const char *first = ResText(IDS_TITLE_MODULES);
    EXPECT_STREQ(first, "Modules -- ");
    EXPECT_STREQ(ResText(IDS_TITLE_THREADS), "Threads -- ");
    EXPECT_EQ(ResText(IDS_TITLE_MODULES), first) << "the same text is not loaded twice";
    EXPECT_STREQ(ResText(IDS_TEST_ABSENT), "");
}

TEST(OsDetection, FamilyFromVersionValue)
{
    const bool savedNt = IsNt, savedNt5 = IsNt5;
    struct Case {
        DWORD version;
        bool nt, nt5;
    } cases[] = {
        {0xC0000A04u, false, false}, // Windows 98: high bit set
        {0xC0000004u, false, false}, // Windows 95
        {0x05650004u, true, false},  // NT 4.0
        {0x0A280005u, true, true},   // Windows 2000
        {0x23F00206u, true, true},   // a later NT
    };
    for (const Case &c : cases) {
        EXPECT_EQ(DetectOsFromVersion(c.version), c.nt) << std::hex << c.version;
        EXPECT_EQ(IsNt, c.nt);
        EXPECT_EQ(IsNt5, c.nt5);
    }
    IsNt = savedNt;
    IsNt5 = savedNt5;
}

TEST(CharacterStepping, FindsFirstAndLastSingleByteCharacter)
{
    const char *path = "C:\\dir\\sub\\file.exe";
    EXPECT_EQ(FindChar(path, '\\'), path + 2);
    EXPECT_EQ(FindLastChar(path, '\\'), path + 10);
    EXPECT_EQ(FindChar(path, '/'), nullptr);
    EXPECT_EQ(FindLastChar(path, '/'), nullptr);
    EXPECT_EQ(FindChar(nullptr, 'a'), nullptr);
    EXPECT_EQ(FindLastChar(nullptr, 'a'), nullptr);
    EXPECT_EQ(NextChar(path), path + 1);
}
