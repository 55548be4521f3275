// The installer actions of a loaded _velsetup library, found by name as the
// installer engine finds them.
// Thread-safety: plain functions.
#ifndef VELSETUP_TOOL_EXPORTS_TABLE_H
#define VELSETUP_TOOL_EXPORTS_TABLE_H

#include "setup/velsetup.h"

#include <optional>
#include <string>

namespace velsetup::tool {

struct ExportsTable {
  VelsetupInstallAction stopSnmp = nullptr;
  VelsetupInstallAction startSnmp = nullptr;
  VelsetupInstallAction createRacUser = nullptr;
  VelsetupInstallAction deleteRacUser = nullptr;
  VelsetupServiceQuery isServicePresent = nullptr;
  VelsetupVersionQuery getProductVersion = nullptr;
};

// Loads the library (kept loaded for the process's life); nullopt with
// `error` set when it cannot be loaded or lacks an action.
std::optional<ExportsTable> LoadExports(const std::string& library, std::string& error);

// lib_velsetup.so in the directory of the running program.
std::string DefaultLibraryPath();

}  // namespace velsetup::tool

#endif
