// Version records of the small programs built from versiontest/ and of kelvane.exe itself: the
// Version view opened by the Info command, the status-line summary, and the record walker on
// hand-made and damaged blocks.
#include <gtest/gtest.h>
#include <windows.h>

#include <cstring>
#include <string>
#include <vector>

#include "core/processlist.h"
#include "fixtures.h"
#include "resource.h"
#include "version.h"
#include "views/version.h"
#include "core/textcells.h"
#include "providers/versionkeys.h"
#include "providers/versionrecord.h"

namespace {

using kvtest::BesideTests;

class VersionView : public kvtest::ViewTest {
protected:
    VersionView() : ViewTest(OnInfoCommand) {}

    // Selects a row for the executable `file` and runs the Info command; reads the field `id`
    // (0: the caption) of the view that opens. "(none)" when nothing opened.
    std::string Show(const char *file, int id)
    {
        ProcessRecord record = {};
        record.id = nextId_++;
        lstrcpynA(record.path, BesideTests(file).c_str(), MAX_PATH);
        host_->SelectRecord(record);
        std::string shown = "(none)";
        Run([&](HWND view) {
            shown = kvtest::WindowText(id ? GetDlgItem(view, id) : view);
            owner_ = GetWindow(view, GW_OWNER);
        });
        return shown;
    }

    HWND owner_ = nullptr;
    DWORD nextId_ = 0x7ffffff1; // a new row each time
};

std::string LanguageName(WORD language)
{
    char name[MAX_PATH] = "";
    VerLanguageNameA(language, name, sizeof name);
    return name;
}

TEST_F(VersionView, ShowsTheFirstTranslationsValuesAndLeavesTheRestAtDashes)
{
    std::string digits;
    for (int i = 0; i < 30; ++i)
        digits += "0123456789";
    const struct {
        const char *file;
        int id;
        std::string expected;
    } cases[] = {
        {"vt_full.exe", 0, "Version"},
        {"vt_full.exe", IDC_VER_FILEVERSION, "2.0.0.0"},
        {"vt_full.exe", IDC_VER_COMPANY, "Test & Partner"},
        {"vt_full.exe", IDC_VER_INTERNALNAME, "---"}, // only in the second translation's table
        {"vt_full.exe", IDC_VER_LANGUAGE, LanguageName(0x0407)},
        {"vt_full.exe", IDC_VER_ORIGINALNAME, "vt_full.exe"},
        {"vt_full.exe", IDC_VER_PRODUCTVERSION, "2.0"},
        {"vt_full.exe", IDC_VER_DESCRIPTION, "Beschreibung"},
        {"vt_full.exe", IDC_VER_PRODUCTNAME, "Produkt"},
        {"vt_sparse.exe", IDC_VER_FILEVERSION, "---"},
        {"vt_sparse.exe", IDC_VER_COMPANY, "---"}, // present, but empty
        {"vt_long.exe", IDC_VER_DESCRIPTION, digits.substr(0, 259)},
        {"vt_long.exe", IDC_VER_PRODUCTNAME, std::string(249, 'P') + "Q"},
        {"vt_notrans.exe", IDC_VER_FILEVERSION, "---"},
        {"vt_notrans.exe", IDC_VER_DESCRIPTION, "---"},
        {"vt_notrans.exe", IDC_VER_LANGUAGE, "---"},
        {"kelvane.exe", IDC_VER_FILEVERSION, KELVANE_VERSION_TEXT}, // the program's own record
        {"kelvane.exe", IDC_VER_PRODUCTVERSION, KELVANE_VERSION_TEXT},
        {"kelvane.exe", IDC_VER_COMPANY, "Orvik"},
        {"kelvane.exe", IDC_VER_DESCRIPTION, "Kelvane"},
        {"kelvane.exe", IDC_VER_PRODUCTNAME, "Kelvane"},
        {"kelvane.exe", IDC_VER_ORIGINALNAME, "kelvane.exe"},
        {"kelvane.exe", IDC_VER_LANGUAGE, LanguageName(0x0409)},
    };
    for (const auto &c : cases)
        EXPECT_EQ(c.expected, Show(c.file, c.id)) << c.file << " " << c.id;
    EXPECT_EQ(GetParent(host_->List()), owner_); // the window that gave the command

    for (int id : {IDC_VER_CREATED, IDC_VER_MODIFIED}) {
        const std::string time = Show("vt_notrans.exe", id);
        EXPECT_NE("---", time);
        EXPECT_EQ(std::string::npos, time.find("  ")) << time; // one space between date and time
    }
    host_->Select(-1);
    EXPECT_FALSE(Run([](HWND) {}));
}

// The status line's summary, and the main list's Description and Company cells: whole values of
// the first translation.
TEST(StatusSummary, DescriptionOrItsFallbacksThenVersionAndCopyrightWhileTheyFit)
{
    const std::string longDescription = [] {
        std::string digits;
        for (int i = 0; i < 30; ++i)
            digits += "0123456789";
        return digits;
    }();
    const struct {
        const char *file;
        int limit;
        std::string expected, description, company;
    } cases[] = {
        {"vt_full.exe", MAX_PATH, "Beschreibung 2.0.  (c) Test", "Beschreibung", "Test & Partner"},
        {"vt_full.exe", 20, "Beschreibung 2.0.  ", "Beschreibung", "Test & Partner"},
        {"vt_full.exe", 19, "Beschreibung ", "Beschreibung", "Test & Partner"},
        {"vt_sparse.exe", MAX_PATH, "vt_sparse.exe 3.1.  (c) Sparse", "", ""}, // empty company
        {"vt_long.exe", MAX_PATH, std::string(249, 'P') + "Q 1.0.  ", longDescription, ""},
        {"vt_notrans.exe", MAX_PATH, "", "", ""}, // no translation: no table to read
        {"kelvane.exe", MAX_PATH, "Kelvane " KELVANE_VERSION_TEXT ".  Copyright (C) 2026 Orvik",
         "Kelvane", "Orvik"},
        {"kvchild.exe", MAX_PATH, "", "", ""}, // no version record
        {"no such file.exe", MAX_PATH, "", "", ""},
    };
    for (const auto &c : cases) {
        char text[MAX_PATH];
        std::memset(text, '#', sizeof text);
        FormatVersionSummary(BesideTests(c.file).c_str(), text, c.limit);
        EXPECT_EQ(c.expected, text) << c.file << " " << c.limit;

        ProcessRecord record = {};
        lstrcpynA(record.path, BesideTests(c.file).c_str(), MAX_PATH);
        ReadRecordVersionTexts(&record);
        EXPECT_EQ(c.description, record.texts.description ? record.texts.description : "") << c.file;
        EXPECT_EQ(c.company, record.texts.company ? record.texts.company : "") << c.file;
        FreeRecordTexts(&record);
    }
}

// A node of the 16-bit layout: header, key, value, children, each part aligned to 4 bytes. The
// header counts no padding after the node's last part; the string returned has it.
std::string Node16(const std::string &key, const std::string &value, const std::string &children)
{
    std::string node(4, '\0');
    node += key + '\0';
    node.resize((node.size() + 3) & ~3u, '\0');
    node += value;
    if (!children.empty())
        node.resize((node.size() + 3) & ~3u, '\0');
    node += children;
    node[0] = static_cast<char>(node.size() & 0xff);
    node[1] = static_cast<char>(node.size() >> 8);
    node[2] = static_cast<char>(value.size());
    node.resize((node.size() + 3) & ~3u, '\0');
    return node;
}

std::string TextOf(const VersionText &value)
{
    std::string text;
    for (size_t i = 0; i < value.length; ++i)
        text += static_cast<char>(value.text[value.wide ? 2 * i : i]);
    return text;
}

TEST(VersionKeys, ReadsTheSixteenBitLayout)
{
    const std::string strings =
        Node16("040704E4", "",
               Node16("CompanyName", std::string("Old Company\0", 12), "") +
                   Node16("Comments", "no terminator", ""));
    const std::string record = Node16(
        "VS_VERSION_INFO", std::string(52, '\0'),
        Node16("StringFileInfo", "", strings) +
            Node16("VarFileInfo", "", Node16("Translation", std::string("\x07\x04\xe4\x04", 4), "")));

    uint16_t language = 0, codePage = 0;
    ASSERT_TRUE(FindVersionTranslation(record.data(), record.size(), &language, &codePage));
    EXPECT_EQ(0x0407, language);
    EXPECT_EQ(0x04e4, codePage);
    VersionText value;
    ASSERT_TRUE(FindVersionString(record.data(), record.size(), "040704e4", "companyNAME", &value));
    EXPECT_FALSE(value.wide);
    EXPECT_EQ("Old Company", TextOf(value));
    ASSERT_TRUE(FindVersionString(record.data(), record.size(), "040704e4", "Comments", &value));
    EXPECT_EQ("no terminator", TextOf(value)); // runs to its node's end
    EXPECT_FALSE(FindVersionString(record.data(), record.size(), "040904b0", "CompanyName", &value));
    EXPECT_FALSE(FindVersionString(record.data(), record.size(), "040704e4", "Company", &value));
}

// Runs every lookup on a block and counts values that reach outside it.
int ValuesOutside(const std::vector<unsigned char> &block)
{
    int outside = 0;
    uint16_t language, codePage;
    FindVersionTranslation(block.data(), block.size(), &language, &codePage);
    for (const char *table : {"040704e4", "040904b0"})
        for (const char *key : {"CompanyName", "FileVersion", "InternalName", "ProductVersion"}) {
            VersionText value;
            if (!FindVersionString(block.data(), block.size(), table, key, &value))
                continue;
            const size_t bytes = value.length * (value.wide ? 2 : 1);
            if (value.text < block.data() || value.text + bytes > block.data() + block.size())
                ++outside;
        }
    return outside;
}

TEST(VersionKeys, DamagedRecordsAreReadOnlyWithinTheirBounds)
{
    const std::string path = BesideTests("vt_full.exe");
    DWORD handle = 0;
    const DWORD size = GetFileVersionInfoSizeA(path.c_str(), &handle);
    ASSERT_NE(0u, size);
    std::vector<unsigned char> full(size);
    ASSERT_TRUE(GetFileVersionInfoA(path.c_str(), 0, size, full.data()));
    full.resize(full[0] | (full[1] << 8)); // the record itself, without the system's scratch room
    VersionText value;
    ASSERT_TRUE(FindVersionString(full.data(), full.size(), "040704e4", "FileVersion", &value));
    EXPECT_TRUE(value.wide);
    EXPECT_EQ("2.0.0.0", TextOf(value));

    int outside = 0;
    for (size_t cut = 0; cut < full.size(); ++cut) { // cut short, with a root that claims the cut
        std::vector<unsigned char> block(full.begin(), full.begin() + cut);
        if (cut >= 2) {
            block[0] = static_cast<unsigned char>(cut & 0xff);
            block[1] = static_cast<unsigned char>(cut >> 8);
        }
        outside += ValuesOutside(block);
    }
    for (size_t at = 0; at + 1 < full.size(); at += 2) { // every length and type word replaced
        for (unsigned word : {0u, 1u, 5u, 0x7fffu, 0xffffu}) {
            std::vector<unsigned char> block = full;
            block[at] = static_cast<unsigned char>(word & 0xff);
            block[at + 1] = static_cast<unsigned char>(word >> 8);
            outside += ValuesOutside(block);
        }
    }
    EXPECT_EQ(0, outside);
}

} // namespace
