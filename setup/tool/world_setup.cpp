// The rehearsal world.
#include "setup/tool/world_setup.h"

#include <velplat/accounts.h>
#include <velplat/files.h>
#include <velplat/services.h>
#include <velplat/world.h>
#include <winapi/files.h>  // not yet part of the platform's windows.h

#include <chrono>

namespace velsetup::tool {
namespace {

// Long enough to outlast the library's 60-second waits many times over.
constexpr std::chrono::milliseconds kHang{60 * 60 * 1000};

void DefineService(const ServiceSpec& shape) {
  velplat::services::ServiceConfig config;
  config.name = shape.name;
  config.displayName = shape.displayName;
  config.dependencies = shape.dependencies;
  config.initialState = shape.state;
  config.startTime = shape.hangs == Transition::Start ? kHang : std::chrono::milliseconds(shape.startMs);
  config.stopTime = shape.hangs == Transition::Stop ? kHang : std::chrono::milliseconds(shape.stopMs);
  config.startFailure = shape.startFailure;
  velplat::services::Define(config);
}

}  // namespace

std::vector<ServiceSpec> DefaultServices() {
  ServiceSpec snmp{"SNMP", "SNMP Service", {}, SERVICE_RUNNING, 3000, 2000, Transition::None, 0};
  ServiceSpec relay{"ClusterTrapRelay", "Cluster Trap Relay", {"SNMP"}, SERVICE_RUNNING, 1500, 1000,
                    Transition::None, 0};
  ServiceSpec extension{"HostMibExtension", "Host MIB Extension", {"SNMP"}, SERVICE_RUNNING, 1500, 1000,
                        Transition::None, 0};
  return {snmp, relay, extension};
}

std::string SetupLogPath() {
  char directory[MAX_PATH + 1] = "";
  GetWindowsDirectoryA(directory, sizeof directory);
  return std::string(directory) + "\\vlmsystem\\log\\vlmsetup.log";
}

void BuildWorld(const Options& options) {
  velplat::World::Get().Reset();
  for (const ServiceSpec& shape : options.services.empty() ? DefaultServices() : options.services)
    DefineService(shape);
  for (const auto& [name, password] : options.users) {
    velplat::accounts::UserInfo user;
    user.name = name;
    user.password = password;
    velplat::accounts::SetUser(user);
  }
  for (const auto& [path, version] : options.versionFiles)
    velplat::files::PutExecutable(path, velplat::files::MakeVersionResource(version, version));
  if (options.createLog) velplat::files::PutFile(SetupLogPath(), "");
}

}  // namespace velsetup::tool
