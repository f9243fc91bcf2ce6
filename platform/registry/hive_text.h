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
// backslash and control characters or unpaired surrogates as \uXXXX; key names escape them,
// % and \ as %XXXX. Data that is not a plain terminated string or a 4-byte word is kept as
// hex(type) so that every value survives exactly.
//
// A key whose full path would be long is written relative to the key line before it: N
// leading backslashes name a child of that key's (N-1)th parent, so [\Sub] is a child of the
// key above and [\\Sibling] sits beside it. Keys nest at most kMaxKeyDepth levels.
#pragma once

#include "hive.h"

#include <string>
#include <string_view>

namespace host::reg {

extern const char kHiveMagic[];
// Key lines whose full path is longer than this are written relative to the line before.
constexpr size_t kMaxAbsoluteKeyLine = 512;

struct HiveTextError {
    int line = 0; // 1-based; 0 for the file as a whole
    std::string reason;
};

std::string WriteHiveText(const Key& root);
// Fills *root from text; on a malformed file returns false and says where in *error. Time and
// memory grow linearly with the text.
bool ReadHiveText(std::string_view text, Key* root, HiveTextError* error);

} // namespace host::reg
