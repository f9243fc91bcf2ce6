// The text form of a hive on disk, readable and editable by hand:
//
//   YRA registry hive 1
//   [CLSID\{5B13AFDE-230A-44B5-937C-9C858D338F27}\InprocServer32]
//   @=sz:"/usr/lib/yra/VELDualFmtDemux.so"
//   "ThreadingModel"=sz:"Both"
//   "Merit"=dword:00600000
//   "Blob"=hex:01,02,ff
//   "Other"=hex(7):41,00,00,00
//
// Every key has its own [path] line. @ is the default value. Strings escape \ and " with a
// backslash and control characters or unpaired surrogates as \uXXXX; key names escape them
// and % as %XXXX. Data that is not a plain terminated string or a 4-byte word is kept as
// hex(type) so that every value survives exactly.
#pragma once

#include "hive.h"

#include <string>
#include <string_view>

namespace host::reg {

extern const char kHiveMagic[];

std::string WriteHiveText(const Key& root);
// Fills *root from text; on a malformed file returns false and says where in *error.
bool ReadHiveText(std::string_view text, Key* root, std::string* error);

} // namespace host::reg
