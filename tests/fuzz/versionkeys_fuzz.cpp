// Fuzzing the version-record reader.
// Parser under test: providers/versionkeys.cpp
//
// Besides the sanitizers' checks: every value found lies wholly inside the record and holds no
// terminator, one record is read in one layout, and keys and table names match regardless of
// ASCII case. The table named by the record's own first translation is always looked up, so the
// fuzzer reaches string values through the translation as the Version view does.
#include <cctype>
#include <cstdio>
#include <string>
#include <vector>

#include "tests/fuzz/fuzz.h"
#include "providers/versionkeys.h"

namespace {

const char *const kKeys[] = {"CompanyName", "FileVersion", "ProductVersion", "FileDescription",
                             "LegalCopyright", "OriginalFilename"};

std::string Upper(const char *text)
{
    std::string upper(text);
    for (char &c : upper)
        c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    return upper;
}

void CheckValue(const FuzzCopy &record, const VersionText &value, int *layout)
{
    const size_t charSize = value.wide ? 2 : 1;
    const uint8_t *end = record.data() + record.size();
    FuzzCheck(value.text >= record.data() && value.text <= end &&
                  value.length <= static_cast<size_t>(end - value.text) / charSize,
              "a value lies inside the record");
    for (size_t i = 0; i < value.length; ++i)
        FuzzCheck(value.text[i * charSize] != 0 || (value.wide && value.text[i * 2 + 1] != 0),
                  "a value ends at its first terminator");
    const int wide = value.wide ? 1 : 0;
    FuzzCheck(*layout < 0 || *layout == wide, "one record is read in one layout");
    *layout = wide;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const FuzzCopy record(data, size);
    std::vector<std::string> tables = {"040904b0", "040704e4"};
    uint16_t language = 0, codePage = 0;
    if (FindVersionTranslation(record.data(), record.size(), &language, &codePage)) {
        char own[16];
        std::snprintf(own, sizeof own, "%04x%04x", language, codePage);
        tables.insert(tables.begin(), own);
    }
    int layout = -1;
    for (const std::string &table : tables)
        for (const char *key : kKeys) {
            VersionText value, again;
            const bool found = FindVersionString(record.data(), record.size(), table.c_str(), key, &value);
            if (found)
                CheckValue(record, value, &layout);
            const bool foundAgain = FindVersionString(record.data(), record.size(),
                                                      Upper(table.c_str()).c_str(),
                                                      Upper(key).c_str(), &again);
            FuzzCheck(found == foundAgain && (!found || (again.text == value.text &&
                                                         again.length == value.length)),
                      "names match regardless of case");
        }
    return 0;
}

namespace {

void Align(std::string *bytes)
{
    bytes->resize((bytes->size() + 3) & ~static_cast<size_t>(3), '\0');
}

void PutWord(std::string *bytes, size_t at, size_t word)
{
    (*bytes)[at] = static_cast<char>(word & 0xff);
    (*bytes)[at + 1] = static_cast<char>((word >> 8) & 0xff);
}

// A node of the record: header, key, value and children, each part aligned to 4 bytes. In the
// 32-bit layout keys are UTF-16 and a text value's length counts characters.
std::string Node(bool wide, const std::string &key, const std::string &value, bool text,
                 const std::string &children)
{
    std::string node(wide ? 6 : 4, '\0');
    for (char c : key + '\0') {
        node += c;
        if (wide)
            node += '\0';
    }
    Align(&node);
    node += value;
    if (!children.empty())
        Align(&node);
    node += children;
    PutWord(&node, 0, node.size());
    PutWord(&node, 2, text && wide ? value.size() / 2 : value.size());
    if (wide)
        PutWord(&node, 4, text ? 1 : 0);
    Align(&node);
    return node;
}

std::string Text(bool wide, const std::string &text)
{
    std::string bytes;
    for (char c : text + '\0') {
        bytes += c;
        if (wide)
            bytes += '\0';
    }
    return bytes;
}

std::string Record(bool wide, const std::string &table, const std::string &translation)
{
    std::string strings;
    for (const char *key : kKeys)
        strings += Node(wide, key, Text(wide, std::string("value of ") + key), true, "");
    strings += Node(wide, "Comments", "", true, ""); // present, empty
    const std::string fixedInfo(52, '\0');
    return Node(wide, "VS_VERSION_INFO", fixedInfo, false,
                Node(wide, "StringFileInfo", "", true, Node(wide, table, "", true, strings)) +
                    Node(wide, "VarFileInfo", "", true,
                         Node(wide, "Translation", translation, false, "")));
}

} // namespace

std::vector<std::string> FuzzSeeds()
{
    const std::string english("\x09\x04\xb0\x04", 4), german("\x07\x04\xe4\x04", 4);
    return {Record(true, "040904b0", english), Record(true, "040704E4", german + english),
            Record(false, "040704e4", german), Record(true, "040904b0", "")};
}
