#include "platform/devices/filter/extension_pages.h"

#include "plat/com.h"
#include "plat/registry.h"

#include <algorithm>
#include <string>

namespace host {
namespace {

constexpr DWORD kGuidChars = 39; // braces and terminator included

std::u16string PagesKeyOf(const GUID& set) {
    WCHAR text[kGuidChars] = {};
    StringFromGUID2(set, text, kGuidChars);
    return std::u16string(u"System\\CurrentControlSet\\Control\\MediaSets\\") + text + u"\\PropertyPages";
}

void CollectPages(const GUID& set, std::vector<CLSID>& pages) {
    HKEY key = nullptr;
    if (RegOpenKeyExW(HKEY_LOCAL_MACHINE, PagesKeyOf(set).c_str(), 0, KEY_READ, &key) != ERROR_SUCCESS)
        return;
    for (DWORD index = 0;; ++index) {
        WCHAR name[256] = {};
        DWORD cch = 256;
        if (RegEnumKeyExW(key, index, name, &cch, nullptr, nullptr, nullptr, nullptr) != ERROR_SUCCESS) break;
        CLSID clsid{};
        // A subkey that is no class id is someone else's business, not a page.
        if (FAILED(CLSIDFromString(name, &clsid))) continue;
        if (std::find(pages.begin(), pages.end(), clsid) == pages.end()) pages.push_back(clsid);
    }
    RegCloseKey(key);
}

} // namespace

std::vector<CLSID> ExtensionPagesFiledUnder(std::span<const GUID> sets) {
    std::vector<CLSID> pages;
    for (const GUID& set : sets)
        CollectPages(set, pages);
    return pages;
}

} // namespace host
