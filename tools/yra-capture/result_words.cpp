#include "result_words.h"

#include "host/result_names.h"

#include <sys/resource.h>

#include <cstdlib>

namespace capture_tool {

std::string ExplainResult(HRESULT hr) {
    std::string text = host::FormatResult(hr);
    if (hr == HRESULT_FROM_WIN32(ERROR_SHARING_VIOLATION)) {
        text += ": the file is in use by another recording";
    } else if (hr == HRESULT_FROM_WIN32(ERROR_DISK_FULL)) {
        rlimit limit{};
        if (getrlimit(RLIMIT_FSIZE, &limit) == 0 && limit.rlim_cur != RLIM_INFINITY)
            text += ": the disk is full, or the file reached this process's size limit of " +
                    std::to_string(static_cast<unsigned long long>(limit.rlim_cur)) + " bytes (ulimit -f)";
        else
            text += ": the disk is full";
    } else if (hr == HRESULT_FROM_WIN32(ERROR_ACCESS_DENIED)) {
        text += ": no permission, or the name is a folder";
    } else if (hr == HRESULT_FROM_WIN32(ERROR_PATH_NOT_FOUND)) {
        text += ": the folder does not exist";
    }
    return text;
}

std::string ExplainResultIn(const std::string& text) {
    static const std::string kMarker = "HRESULT = 0x";
    size_t at = text.find(kMarker);
    if (at == std::string::npos) return {};
    const char* digits = text.c_str() + at + kMarker.size();
    char* end = nullptr;
    unsigned long code = std::strtoul(digits, &end, 16);
    if (end == digits || code > 0xFFFFFFFFul) return {};
    return "(" + ExplainResult(static_cast<HRESULT>(static_cast<uint32_t>(code))) + ")";
}

} // namespace capture_tool
