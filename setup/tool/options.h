// The rehearsal tool's command line: which installer actions to run, in
// order, and the world to run them in.
//
//   velsetup [options] ACTION...
//   velsetup --help | --version
//   ACTION: StopSNMP | StartSNMP | CreateRACUser | DeleteRACUser |
//           IsServicePresent=NAME | GetProductVersion=FILE
//   --property NAME=VALUE   installer property (repeatable)
//   --silent                the same as --property INST_MODE=SILENT
//   --no-handle             the actions get installer handle 0
//   --service TEXT          a service of the local machine (repeatable);
//                           TEXT is NAME[:key=value,...] with the keys
//                           display=TEXT, depends=A+B, state=running|stopped,
//                           start=MS, stop=MS, hang=start|stop, fail=CODE
//   --user NAME:PASSWORD    an existing local account (repeatable)
//   --version-file PATH=VERSION  a file whose version resource carries
//                           ProductVersion VERSION (repeatable)
//   --no-log                do not create the setup log beforehand
//   --library PATH          the library to load (default: lib_velsetup.so
//                           next to the tool)
// Without --service the machine has SNMP running with two running
// dependents.
// Thread-safety: plain functions.
#ifndef VELSETUP_TOOL_OPTIONS_H
#define VELSETUP_TOOL_OPTIONS_H

#include <windows.h>

#include <map>
#include <optional>
#include <string>
#include <utility>
#include <vector>

namespace velsetup::tool {

enum class Transition { None, Start, Stop };

struct ServiceSpec {
  std::string name;
  std::string displayName;  // empty: the name
  std::vector<std::string> dependencies;
  DWORD state = SERVICE_STOPPED;
  DWORD startMs = 0;
  DWORD stopMs = 0;
  Transition hangs = Transition::None;  // that transition outlasts any wait
  DWORD startFailure = 0;
};

struct Action {
  std::string name;      // one of the six exports
  std::string argument;  // IsServicePresent and GetProductVersion
};

struct Options {
  std::vector<Action> actions;
  std::map<std::string, std::string> properties;
  bool noHandle = false;
  std::vector<ServiceSpec> services;
  std::vector<std::pair<std::string, std::string>> users;         // name, password
  std::vector<std::pair<std::string, std::string>> versionFiles;  // path, product version
  bool createLog = true;
  std::string library;
};

// nullopt with `error` set for a malformed command line.
std::optional<Options> ParseOptions(const std::vector<std::string>& args, std::string& error);
std::optional<ServiceSpec> ParseServiceSpec(const std::string& text, std::string& error);
const char* Usage();

}  // namespace velsetup::tool

#endif
