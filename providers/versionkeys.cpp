#include "providers/versionkeys.h"

namespace {

// A node of the record's tree: header (total length, value length, in the 32-bit layout also the
// value type), zero-terminated key, value and child nodes, each part aligned to 4 bytes from the
// start of the record.
struct Node {
    size_t end;           // one past the node's last byte
    size_t key;           // first key character
    size_t keyLength;     // characters, without the terminator
    size_t value;         // first value byte
    size_t valueBytes;    // as the header claims, cut at the node's end
    size_t children;      // first child node
};

struct Record {
    const unsigned char *bytes;
    size_t size;
    bool wide;

    size_t CharSize() const { return wide ? 2 : 1; }
    size_t HeaderSize() const { return wide ? 6 : 4; }
    unsigned Word(size_t offset) const { return bytes[offset] | (bytes[offset + 1] << 8); }
    unsigned Char(size_t offset) const { return wide ? Word(offset) : bytes[offset]; }
};

const char kRootKey[] = "VS_VERSION_INFO";

size_t Align4(size_t offset, size_t limit)
{
    const size_t aligned = (offset + 3) & ~static_cast<size_t>(3);
    return aligned < offset || aligned > limit ? limit : aligned;
}

unsigned LowerAscii(unsigned c)
{
    return c >= 'A' && c <= 'Z' ? c + ('a' - 'A') : c;
}

// Reads the node at `offset`, which must lie wholly before `limit` (its parent's end).
bool ReadNode(const Record &record, size_t offset, size_t limit, Node *node)
{
    if (offset >= limit || limit - offset < record.HeaderSize())
        return false;
    const size_t length = record.Word(offset);
    if (length < record.HeaderSize() || length > limit - offset)
        return false;
    node->end = offset + length;
    node->key = offset + record.HeaderSize();

    size_t at = node->key;
    while (at + record.CharSize() <= node->end && record.Char(at) != 0)
        at += record.CharSize();
    if (at + record.CharSize() > node->end)
        return false; // key without terminator
    node->keyLength = (at - node->key) / record.CharSize();

    const size_t claimed = record.Word(offset + 2);
    const bool textValue = record.wide && record.Word(offset + 4) == 1; // counted in characters
    node->value = Align4(at + record.CharSize(), node->end);
    const size_t room = node->end - node->value;
    const size_t bytes = textValue ? claimed * 2 : claimed;
    node->valueBytes = bytes < room ? bytes : room;
    node->children = Align4(node->value + node->valueBytes, node->end);
    return true;
}

bool KeyEquals(const Record &record, const Node &node, const char *key)
{
    size_t i = 0;
    for (; i < node.keyLength; ++i) {
        if (!key[i])
            return false;
        if (LowerAscii(record.Char(node.key + i * record.CharSize())) !=
            LowerAscii(static_cast<unsigned char>(key[i])))
            return false;
    }
    return key[i] == '\0';
}

// First child of `parent` whose key is `key`.
bool FindChild(const Record &record, const Node &parent, const char *key, Node *child)
{
    size_t offset = parent.children;
    while (ReadNode(record, offset, parent.end, child)) {
        if (KeyEquals(record, *child, key))
            return true;
        offset = Align4(child->end, parent.end); // advances by at least one header
    }
    return false;
}

// Decides the layout from where the root's key stands and reads the root node.
bool OpenRecord(const void *data, size_t size, Record *record, Node *root)
{
    if (!data)
        return false;
    record->bytes = static_cast<const unsigned char *>(data);
    record->size = size;
    for (int layout = 0; layout < 2; ++layout) {
        record->wide = layout == 0;
        if (ReadNode(*record, 0, size, root) && KeyEquals(*record, *root, kRootKey))
            return true;
    }
    return false;
}

} // namespace

bool FindVersionTranslation(const void *data, size_t size, uint16_t *language, uint16_t *codePage)
{
    Record record;
    Node root, fileInfo, translation;
    if (!OpenRecord(data, size, &record, &root) ||
        !FindChild(record, root, "VarFileInfo", &fileInfo) ||
        !FindChild(record, fileInfo, "Translation", &translation) || translation.valueBytes < 4)
        return false;
    *language = static_cast<uint16_t>(record.Word(translation.value));
    *codePage = static_cast<uint16_t>(record.Word(translation.value + 2));
    return true;
}

bool FindVersionString(const void *data, size_t size, const char *table, const char *key,
                       VersionText *value)
{
    Record record;
    Node root, fileInfo, strings, entry;
    if (!table || !key || !OpenRecord(data, size, &record, &root) ||
        !FindChild(record, root, "StringFileInfo", &fileInfo) ||
        !FindChild(record, fileInfo, table, &strings) || !FindChild(record, strings, key, &entry))
        return false;
    // The header's value length is not trusted beyond "empty or not": tools disagree on whether
    // it counts characters or bytes. The text runs to its terminator or to the node's end.
    value->text = record.bytes + entry.value;
    value->wide = record.wide;
    value->length = 0;
    if (entry.valueBytes == 0)
        return true;
    size_t at = entry.value;
    while (at + record.CharSize() <= entry.end && record.Char(at) != 0)
        at += record.CharSize();
    value->length = (at - entry.value) / record.CharSize();
    return true;
}
