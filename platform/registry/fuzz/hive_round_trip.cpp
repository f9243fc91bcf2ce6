#include "hive_round_trip.h"

#include "platform/registry/hive_text.h"

#include <string_view>
#include <utility>
#include <vector>

namespace host::reg {

// Without recursion, as deep as a hive may nest.
std::string HiveDifference(const Key& a, const Key& b) {
    std::vector<std::pair<const Key*, const Key*>> pending{{&a, &b}};
    while (!pending.empty()) {
        auto [x, y] = pending.back();
        pending.pop_back();
        if (x->name != y->name) return "a key name changed";
        if (x->values.size() != y->values.size()) return "the number of values changed";
        for (size_t i = 0; i < x->values.size(); ++i) {
            const Value &v = x->values[i], &w = y->values[i];
            if (v.name != w.name || v.type != w.type || v.data != w.data) return "a value changed";
        }
        if (x->children.size() != y->children.size()) return "the number of subkeys changed";
        for (auto i = x->children.begin(), j = y->children.begin(); i != x->children.end(); ++i, ++j)
            pending.emplace_back(i->second.get(), j->second.get());
    }
    return {};
}

std::string CheckHiveRoundTrip(const uint8_t* data, size_t size) {
    const std::string_view text(reinterpret_cast<const char*>(data), size);
    Key root;
    HiveTextError error;
    if (!ReadHiveText(text, &root, &error)) {
        if (error.reason.empty() || error.line < 0) return "a refused text says nothing";
        if (!root.children.empty() || !root.values.empty()) return "a refused text left keys behind";
        return {};
    }
    const std::string written = WriteHiveText(root);
    Key again;
    if (!ReadHiveText(written, &again, &error))
        return "what was written does not read, line " + std::to_string(error.line) + ": " + error.reason;
    if (std::string difference = HiveDifference(root, again); !difference.empty()) return difference;
    if (WriteHiveText(again) != written) return "a second write differs from the first";
    return {};
}

} // namespace host::reg
