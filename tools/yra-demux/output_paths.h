// Refusing outputs that would overwrite the input or each other. Checked before anything is
// opened for writing, since opening an output empties it.
#pragma once

#include <string>
#include <vector>

namespace demux_tool {

struct NamedOutput {
    std::string option; // "--video", as the user gave it
    std::string path;
};

// Empty when every output is a file of its own; otherwise why not. Files are compared by device
// and inode (through links, hard or symbolic); names not yet made by the file they will name.
// Character devices such as /dev/null may take several outputs.
std::string FindOutputClash(const std::string& input, const std::vector<NamedOutput>& outputs);

} // namespace demux_tool
