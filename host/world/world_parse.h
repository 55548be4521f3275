// Loading a world file (TOML, see docs/world-file.md) into a WorldModel.
// Registry keys come from inline tables and from .reg files as regedit
// exports them (REGEDIT4, or version 5 in UTF-16 with a byte-order mark).
// Every error names the file, the line and what is wrong; the first error
// ends the load.
//
// Thread-safety: no shared state; any thread.
#ifndef VELMOND_WORLD_PARSE_H
#define VELMOND_WORLD_PARSE_H

#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "host/world/world_model.h"

namespace velmond {

struct ParsedWorld {
  std::optional<WorldModel> world;
  std::string error;                 // "file:line: what" when world is empty
  // The world file and the .reg files it names; after an error, those named
  // up to it (a .reg file that cannot be read included).
  std::vector<std::string> sources;
};

ParsedWorld ParseWorldFile(const std::string& path);
// `name` stands for the file in messages; relative .reg paths are taken from
// `baseDir`.
ParsedWorld ParseWorldText(std::string_view text, const std::string& name, const std::string& baseDir);

// Makes the machine `name` of `world` its local machine, whatever the file
// marked (velmond --local). False with `error` set when the world has no
// machine of that name.
bool ServeAsLocal(WorldModel& world, const std::string& name, std::string& error);

}  // namespace velmond

#endif
