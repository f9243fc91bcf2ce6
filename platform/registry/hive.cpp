#include "hive.h"

namespace host::reg {

char16_t FoldChar(char16_t c) {
    if (c < 0x80) return (c >= u'a' && c <= u'z') ? char16_t(c - 0x20) : c;
    if (c >= 0xE0 && c <= 0xFE && c != 0xF7) return char16_t(c - 0x20);
    if (c >= 0x3B1 && c <= 0x3C9 && c != 0x3C2) return char16_t(c - 0x20);
    if (c >= 0x430 && c <= 0x44F) return char16_t(c - 0x20);
    if (c >= 0x450 && c <= 0x45F) return char16_t(c - 0x50);
    return c;
}

std::u16string FoldName(std::u16string_view name) {
    std::u16string folded(name);
    for (char16_t& c : folded) c = FoldChar(c);
    return folded;
}

Key::~Key() {
    std::vector<std::unique_ptr<Key>> pending;
    auto adopt = [&pending](Key& key) {
        for (auto& [folded, child] : key.children)
            pending.push_back(std::move(child));
        key.children.clear();
    };
    adopt(*this);
    while (!pending.empty()) {
        std::unique_ptr<Key> key = std::move(pending.back());
        pending.pop_back();
        adopt(*key);
    } // each key is destroyed here with no children left
}

Key* Key::Child(std::u16string_view childName) const {
    auto it = children.find(FoldName(childName));
    return it == children.end() ? nullptr : it->second.get();
}

Key* Key::AddChild(std::u16string_view childName) {
    auto& slot = children[FoldName(childName)];
    if (!slot) {
        slot = std::make_unique<Key>();
        slot->name = childName;
    }
    return slot.get();
}

const Value* Key::FindValue(std::u16string_view valueName) const {
    auto it = valueIndex.find(FoldName(valueName));
    return it == valueIndex.end() ? nullptr : &values[it->second];
}

bool Key::SetValue(std::u16string_view valueName, DWORD type, std::vector<BYTE> data) {
    auto [it, added] = valueIndex.emplace(FoldName(valueName), values.size());
    if (added) {
        values.push_back(Value{std::u16string(valueName), type, std::move(data)});
        return true;
    }
    Value& v = values[it->second];
    if (v.type == type && v.data == data) return false;
    v.type = type;
    v.data = std::move(data);
    return true;
}

bool Key::DeleteValue(std::u16string_view valueName) {
    auto it = valueIndex.find(FoldName(valueName));
    if (it == valueIndex.end()) return false;
    size_t index = it->second;
    valueIndex.erase(it);
    values.erase(values.begin() + std::ptrdiff_t(index));
    for (size_t i = index; i < values.size(); ++i)
        valueIndex[FoldName(values[i].name)] = i;
    return true;
}

LONG SplitPath(const WCHAR* subKey, Path* path) {
    path->clear();
    if (!subKey) return ERROR_SUCCESS;
    std::u16string_view rest(subKey);
    if (!rest.empty() && rest.front() == u'\\') return ERROR_BAD_PATHNAME;
    if (!rest.empty() && rest.back() == u'\\') rest.remove_suffix(1);
    while (!rest.empty()) {
        size_t slash = rest.find(u'\\');
        std::u16string_view part = rest.substr(0, slash);
        if (part.empty()) return ERROR_BAD_PATHNAME;
        // The platform limits a key name to 255 characters.
        if (part.size() > 255) return ERROR_INVALID_PARAMETER;
        path->emplace_back(part);
        if (path->size() > kMaxKeyDepth) return ERROR_INVALID_PARAMETER;
        if (slash == std::u16string_view::npos) break;
        rest.remove_prefix(slash + 1);
    }
    return ERROR_SUCCESS;
}

Key* FindKey(const Key& root, const Path& path) {
    const Key* key = &root;
    for (const auto& part : path) {
        key = key->Child(part);
        if (!key) return nullptr;
    }
    return const_cast<Key*>(key);
}

Key* CreateKey(Key& root, const Path& path, bool* created) {
    Key* key = &root;
    *created = false;
    for (const auto& part : path) {
        Key* next = key->Child(part);
        *created = next == nullptr;
        key = next ? next : key->AddChild(part);
    }
    return key;
}

} // namespace host::reg
