// One hive in memory: a tree of keys with typed values. Names keep their case and compare
// without it, as the platform's registry does.
#pragma once

#include "plat/types.h"

#include <map>
#include <memory>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

namespace host::reg {

// The platform allows keys 512 levels below a hive's root; deeper paths are refused, from a
// call and from a file alike.
constexpr size_t kMaxKeyDepth = 512;

// Upper-cases one UTF-16 unit for name comparison (ASCII, Latin-1, Greek and Cyrillic).
char16_t FoldChar(char16_t c);
std::u16string FoldName(std::u16string_view name);

struct Value {
    std::u16string name; // empty: the key's default value
    DWORD type = 0;
    std::vector<BYTE> data;
};

struct Key {
    Key() = default;
    Key(Key&&) noexcept = default;
    Key& operator=(Key&&) noexcept = default;
    // Frees the subtree without recursion, so no nesting can exhaust the stack.
    ~Key();

    std::u16string name;
    std::vector<Value> values; // in the order they were first set; change through SetValue/DeleteValue
    // Keyed by the folded name, so enumeration is in case-insensitive order.
    std::map<std::u16string, std::unique_ptr<Key>> children;
    // Folded value name -> index in `values`, so a key with many values loads in linear time.
    std::unordered_map<std::u16string, size_t> valueIndex;

    Key* Child(std::u16string_view childName) const;
    Key* AddChild(std::u16string_view childName);
    const Value* FindValue(std::u16string_view valueName) const;
    // Replaces the data of an existing value in place; false when nothing changed.
    bool SetValue(std::u16string_view valueName, DWORD type, std::vector<BYTE> data);
    bool DeleteValue(std::u16string_view valueName);
};

using Path = std::vector<std::u16string>;

// Splits a sub-key argument at backslashes. A null or empty argument is the key itself; a
// trailing backslash is ignored; a leading one or an empty component is refused, as is a
// path of more than kMaxKeyDepth components.
LONG SplitPath(const WCHAR* subKey, Path* path);
Key* FindKey(const Key& root, const Path& path);
// Creates every missing key along the path; *created tells whether the last one was new.
Key* CreateKey(Key& root, const Path& path, bool* created);

} // namespace host::reg
