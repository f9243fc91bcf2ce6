// The filters the mappers have registered, as the host stores them: under
// HKEY_CLASSES_ROOT\CLSID\{category}\Instance\{instance} the values FriendlyName, CLSID and
// FilterData. FilterData is text, for example
//   version=1; merit=0x00600000; pin name="input" rendered=0 output=0 zero=0 many=0
//   type={E436EB83-524F-11CE-9F53-0020AF0BA770}/{E06D8022-DB46-11CF-B4D1-00805F6CBBEA}
// (one line; pins separated by ';').
#pragma once

#include "plat/media.h"

#include <string>
#include <vector>

namespace host {

struct RegisteredPinType {
    GUID major;
    GUID minor;
};
struct RegisteredMedium {
    GUID clsid;
    DWORD dw1;
    DWORD dw2;
};
struct RegisteredPin {
    std::u16string name;
    bool rendered = false;
    bool output = false;
    bool zero = false;
    bool many = false;
    GUID connectsToFilter = GUID_NULL;
    std::u16string connectsToPin;
    UINT instances = 0;
    GUID category = GUID_NULL;
    std::vector<RegisteredPinType> types;
    std::vector<RegisteredMedium> mediums;
};
struct RegisteredFilter {
    std::u16string name;
    CLSID clsid = GUID_NULL;
    DWORD version = 1;
    DWORD merit = 0;
    std::vector<RegisteredPin> pins;
};

std::u16string EncodeFilterData(const RegisteredFilter& filter);
// False when the text is not filter data; *filter then holds what was read so far.
bool DecodeFilterData(std::u16string_view text, RegisteredFilter* filter);

// The stored filter of a category (null: the legacy filter category) and instance (null: the
// class id's string). Missing: HRESULT_FROM_WIN32(ERROR_FILE_NOT_FOUND).
HRESULT ReadRegisteredFilter(const CLSID* category, const WCHAR* instance, REFCLSID clsid, RegisteredFilter* filter);
HRESULT WriteRegisteredFilter(const CLSID* category, const WCHAR* instance, const RegisteredFilter& filter);
HRESULT RemoveRegisteredFilter(const CLSID* category, const WCHAR* instance, REFCLSID clsid);

} // namespace host
