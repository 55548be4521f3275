// velmond's configuration file (TOML): every setting of ConfigKeys() under
// its own name, plus SNMPv3 users as [[user]] tables. Unknown keys, wrong
// types and unacceptable users are errors that name the file, the line and
// the reason.
//
// Thread-safety: no shared state; call from any thread.
#ifndef VELMOND_CONFIG_FILE_H
#define VELMOND_CONFIG_FILE_H

#include <string>

#include "host/options.h"

namespace velmond {

// Reads `path` into `options` (the settings it holds replace theirs; users
// are appended). False with "FILE:LINE: reason" in `error`.
bool LoadConfigFile(const std::string& path, Options& options, std::string& error);

// The same for text already read; `name` is what messages call the file and
// relative paths are taken from `baseDir`.
bool LoadConfigText(const std::string& text, const std::string& name, const std::string& baseDir,
                    Options& options, std::string& error);

// The checks that need the merged options (a v3 user without a state folder).
// False with a message naming where the offending setting was written.
bool CheckMergedOptions(const Options& options, std::string& error);

}  // namespace velmond

#endif
