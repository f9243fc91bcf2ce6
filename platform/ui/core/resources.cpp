// The resource tables modules register, and the calls that read them: templates, strings,
// icons, version records, and module handles.
#include "state.h"

#include <link.h>

#include <algorithm>
#include <string_view>

namespace host::ui {
namespace {

struct MainModule {
    HINSTANCE base = nullptr;
};

// The load address of the program: the start of its first mapped segment, which is what the
// dynamic linker reports for an address inside it.
int FirstObject(dl_phdr_info* info, size_t, void* data) {
    auto* m = static_cast<MainModule*>(data);
    ElfW(Addr) lowest = ~ElfW(Addr)(0);
    for (int i = 0; i < info->dlpi_phnum; ++i)
        if (info->dlpi_phdr[i].p_type == PT_LOAD) lowest = std::min(lowest, info->dlpi_phdr[i].p_vaddr);
    if (lowest != ~ElfW(Addr)(0)) lowest &= ~ElfW(Addr)(0xFFF);
    m->base = reinterpret_cast<HINSTANCE>(info->dlpi_addr + (lowest == ~ElfW(Addr)(0) ? 0 : lowest));
    return 1;
}

struct NamedModule {
    std::string name;
    HINSTANCE base = nullptr;
};

std::string StripSuffix(std::string name) {
    auto slash = name.find_last_of('/');
    if (slash != std::string::npos) name = name.substr(slash + 1);
    auto so = name.find(".so");
    if (so != std::string::npos) name = name.substr(0, so);
    if (name.size() > 4 && (name.ends_with(".dll") || name.ends_with(".DLL"))) name.resize(name.size() - 4);
    return name;
}

int MatchObject(dl_phdr_info* info, size_t, void* data) {
    auto* m = static_cast<NamedModule*>(data);
    if (!info->dlpi_name || !*info->dlpi_name) return 0;
    std::string name = StripSuffix(info->dlpi_name);
    if (name != m->name && name != "lib" + m->name) return 0;
    ElfW(Addr) lowest = ~ElfW(Addr)(0);
    for (int i = 0; i < info->dlpi_phnum; ++i)
        if (info->dlpi_phdr[i].p_type == PT_LOAD) lowest = std::min(lowest, info->dlpi_phdr[i].p_vaddr);
    lowest = lowest == ~ElfW(Addr)(0) ? 0 : (lowest & ~ElfW(Addr)(0xFFF));
    m->base = reinterpret_cast<HINSTANCE>(info->dlpi_addr + lowest);
    return 1;
}

const RESOURCETABLE* TableOf(HINSTANCE instance) {
    if (!instance) instance = GetModuleHandleW(nullptr);
    auto it = S().resources.find(instance);
    return it == S().resources.end() ? nullptr : it->second;
}

} // namespace

namespace test {
const RESOURCETABLE* ModuleResources(HINSTANCE module) {
    auto lock = Locked();
    return TableOf(module);
}
} // namespace test

const DLGTEMPLATERES* FindDialogTemplate(HINSTANCE instance, LPCWSTR name) {
    if (!name || !IS_INTRESOURCE(name)) return nullptr;
    int id = LOWORD(reinterpret_cast<ULONG_PTR>(name));
    auto lock = Locked();
    const RESOURCETABLE* table = TableOf(instance);
    if (!table) return nullptr;
    for (int i = 0; i < table->dialogCount; ++i)
        if (table->dialogs[i].id == id) return &table->dialogs[i];
    return nullptr;
}

HICON LoadIconFrom(HINSTANCE instance, int id) {
    auto lock = Locked();
    State& s = S();
    HINSTANCE key = instance;
    IconInfo info;
    if (!instance) {
        // The system's icons.
        if (id < 32512 || id > 32518) return nullptr;
    } else {
        const RESOURCETABLE* table = TableOf(instance);
        const ICONRES* found = nullptr;
        for (int i = 0; table && i < table->iconCount; ++i)
            if (table->icons[i].id == id) found = &table->icons[i];
        if (!found) return nullptr;
        info = IconInfo{found->cx, found->cy, found->png, found->pngSize};
    }
    auto it = s.loadedIcons.find({key, id});
    if (it != s.loadedIcons.end()) return it->second;
    auto icon = static_cast<HICON>(s.NewHandle());
    s.icons[icon] = IconObject{info};
    s.loadedIcons[{key, id}] = icon;
    return icon;
}

} // namespace host::ui

using namespace host::ui;

void YraRegisterResources(HINSTANCE hModule, const RESOURCETABLE* table) {
    auto lock = Locked();
    if (table) S().resources[hModule] = table;
}

void YraUnregisterResources(HINSTANCE hModule) {
    auto lock = Locked();
    S().resources.erase(hModule);
}

const VERSIONINFORES* YraFindVersionInfo(HINSTANCE hModule) {
    if (!hModule) return nullptr;
    auto lock = Locked();
    auto it = S().resources.find(hModule);
    return it == S().resources.end() ? nullptr : it->second->version;
}

LPCWSTR YraVersionString(const VERSIONINFORES* pInfo, LPCWSTR key) {
    if (!pInfo || !key) return nullptr;
    const std::u16string_view wanted(key);
    for (int i = 0; i < pInfo->stringCount; ++i)
        if (pInfo->strings[i].key && wanted == pInfo->strings[i].key) return pInfo->strings[i].value;
    return nullptr;
}

HMODULE GetModuleHandleW(LPCWSTR lpModuleName) {
    if (!lpModuleName) {
        static MainModule main = [] {
            MainModule m;
            dl_iterate_phdr(FirstObject, &m);
            return m;
        }();
        return main.base;
    }
    NamedModule m{StripSuffix(Utf8(lpModuleName)), nullptr};
    dl_iterate_phdr(MatchObject, &m);
    return m.base;
}

int LoadStringW(HINSTANCE hInstance, UINT uID, LPWSTR lpBuffer, int cchBufferMax) {
    if (!lpBuffer) return 0;
    LPCWSTR text = nullptr;
    {
        auto lock = Locked();
        const RESOURCETABLE* table = TableOf(hInstance);
        for (int i = 0; table && i < table->stringCount; ++i)
            if (table->strings[i].id == uID) text = table->strings[i].text;
    }
    if (cchBufferMax == 0) {
        // A pointer to the resource itself, not terminated as far as callers may assume.
        *reinterpret_cast<LPCWSTR*>(lpBuffer) = text;
        return text ? static_cast<int>(std::u16string_view(text).size()) : 0;
    }
    if (!text) {
        if (cchBufferMax > 0) lpBuffer[0] = 0;
        return 0;
    }
    return CopyToBuffer(text, lpBuffer, cchBufferMax);
}

HICON LoadIconW(HINSTANCE hInstance, LPCWSTR lpIconName) {
    if (!lpIconName || !IS_INTRESOURCE(lpIconName)) return nullptr;
    return LoadIconFrom(hInstance, LOWORD(reinterpret_cast<ULONG_PTR>(lpIconName)));
}

BOOL InitCommonControlsEx(const INITCOMMONCONTROLSEX* picce) {
    return (picce && picce->dwSize == sizeof(INITCOMMONCONTROLSEX)) ? TRUE : FALSE;
}

void InitCommonControls() {}
