// The registry part of a world file: the hand-written value forms of the
// TOML tables, key paths with their hive, and .reg files read through the
// platform's own .reg importer.
//
//   Name = "text"                   REG_SZ
//   Name = 7                        REG_DWORD
//   Name = ["a", "b"]               REG_MULTI_SZ
//   Name = { expand = "%X%\\y" }    REG_EXPAND_SZ
//   Name = { sz = "", dword = 7, qword = 7, multi = [...], binary = "01 ff" }
//   "@" = ...                       the key's default value
//
// Thread-safety: no shared state; any thread.
#ifndef VELMOND_WORLD_REGISTRY_H
#define VELMOND_WORLD_REGISTRY_H

#include <toml++/toml.h>

#include <optional>
#include <string>
#include <string_view>

#include "host/world/world_model.h"

namespace velmond {

// "HKLM\SOFTWARE\X\" -> "HKEY_LOCAL_MACHINE\SOFTWARE\X"; a path without a
// hive lies below HKEY_LOCAL_MACHINE. Nullopt for an empty or malformed path.
std::optional<std::string> CanonicalKeyPath(std::string_view path);

// The value named `name` written as `node`; nullopt with `error` set when the
// form is not one of the above.
std::optional<RegValue> ParseRegValue(const std::string& name, const toml::node& node, std::string& error);

// Merges the keys and values of a .reg file's bytes into `registry`. False
// with "line N: what" in `error` when the file does not import.
bool MergeRegFile(const std::string& bytes, NoCaseMap<RegKey>& registry, std::string& error);

// Sets or replaces one value of a key in `registry`, creating the key.
void PutRegValue(NoCaseMap<RegKey>& registry, const std::string& keyPath, RegValue value);

}  // namespace velmond

#endif
