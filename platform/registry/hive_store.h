// The hives on disk. Readers take no lock: every change is written whole to a temporary file
// and renamed over the hive, so a reader sees either the old or the new file, and reloads
// when the file on disk is no longer the one it parsed. Writers serialise on an advisory
// lock shared by all processes and reload before they change anything, so concurrent
// writers never lose each other's changes.
#pragma once

#include "hive.h"

#include <functional>
#include <string>

namespace host::reg {

enum class HiveId { ClassesRoot, CurrentUser, LocalMachine };

// A hive file larger than this is refused unread, so a hostile or runaway file cannot take
// all memory. A full registry of this system is a few kilobytes.
constexpr size_t kMaxHiveBytes = size_t(64) << 20;

// Empty when no host root is known (then every call fails with ERROR_PATH_NOT_FOUND).
std::string HiveFilePath(HiveId hive);

using HiveReader = std::function<LONG(const Key& root)>;
// `changed` is set by the writer when the hive must be stored; nothing is written otherwise.
using HiveWriter = std::function<LONG(Key& root, bool& changed)>;

LONG ReadHive(HiveId hive, const HiveReader& read);
LONG ChangeHive(HiveId hive, const HiveWriter& change);

} // namespace host::reg
