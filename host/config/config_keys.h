// The settings velmond takes both from its command line and from its
// configuration file, under one name each: `listen` in the file is
// `--listen` on the command line. The file reader accepts exactly these keys
// (plus the [[user]] tables); the command line overrides a key by giving its
// option. A new setting is one line in ConfigKeys().
//
// Thread-safety: the table is immutable; use from any thread.
#ifndef VELMOND_CONFIG_KEYS_H
#define VELMOND_CONFIG_KEYS_H

#include <string>
#include <variant>
#include <vector>

#include "host/options.h"

namespace velmond {

using TextField = std::string& (*)(Options&);
using FlagField = bool& (*)(Options&);
using ListField = std::vector<std::string>& (*)(Options&);

struct ConfigKey {
  const char* name;  // TOML key; the option is "--" + name
  std::variant<TextField, FlagField, ListField> field;
  bool isPath = false;  // relative values in the file are taken from the file's folder
};

const std::vector<ConfigKey>& ConfigKeys();

// Copies the key's value from one set of options to another.
void CopySetting(const ConfigKey& key, Options& from, Options& to);

}  // namespace velmond

#endif
