// Lookups in a file's version record (the VS_VERSIONINFO block that GetFileVersionInfoA returns):
// the first translation of \VarFileInfo\Translation and the string values of
// \StringFileInfo\<table>\<key>. Both layouts are understood: the 32-bit one with UTF-16 keys and
// values, and the 16-bit one with byte strings. The record is untrusted input: every length and
// offset in it is checked against the block and against its parent node, and nothing outside
// `data`..`data + size` is ever read.
#pragma once
#include <cstddef>
#include <cstdint>

// A value inside the record: `length` characters from `text`, without the terminator. Characters
// are UTF-16LE code units (two bytes, unaligned) when `wide` is set, bytes otherwise.
struct VersionText {
    const unsigned char *text;
    size_t length;
    bool wide;
};

// First (language, code page) pair of the translation table; false when the record has none.
bool FindVersionTranslation(const void *data, size_t size, uint16_t *language, uint16_t *codePage);

// Value of `key` in the string table named `table` (for example "040904b0"); names and keys are
// compared without regard to ASCII case, as the system's own lookup does. False when the table
// or the key is missing; a key that is present may still have an empty value.
bool FindVersionString(const void *data, size_t size, const char *table, const char *key,
                       VersionText *value);
