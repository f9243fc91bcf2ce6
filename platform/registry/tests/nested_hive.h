// A hive text nesting one chain of keys, for the tests of how deep a hive may go.
#pragma once

#include <cstddef>
#include <string>

// `depth` keys named k, each below the one before: on one line as a full path, or one relative
// line per level.
inline std::string NestedHive(size_t depth, bool relative) {
    std::string text = "YRA registry hive 1\n";
    if (relative) {
        for (size_t i = 0; i < depth; ++i)
            text += "[\\k]\n";
    } else {
        text += "[k";
        for (size_t i = 1; i < depth; ++i)
            text += "\\k";
        text += "]\n";
    }
    return text;
}
