#include "backends/oracle/support/oracle_world.h"

#include <velplat/accounts.h>
#include <velplat/files.h>
#include <velplat/network.h>
#include <velplat/registry.h>
#include <velplat/services.h>

#include <chrono>
#include <thread>

namespace velmon::test {

void MakeOracleMembers(const std::vector<OracleMember>& members) {
  auto& world = velplat::World::Get();
  for (size_t i = 0; i < members.size(); ++i) {
    const OracleMember& m = members[i];
    velplat::Machine& machine = i == 0 ? world.SetLocal(m.publicName) : world.Add(m.publicName);
    velplat::services::ServiceConfig service;
    service.name = "OracleCMService9I";
    service.initialState = m.serviceState;
    velplat::services::Define(service, &machine);
    if (m.hasAgentAccount) {
      velplat::accounts::UserInfo user;
      user.name = "RACUSER";
      user.password = kAgentPassword;
      velplat::accounts::SetUser(user, &machine);
      velplat::accounts::AddGroupMember("Users", "RACUSER", &machine);
    }
    if (!m.publicAddress.empty()) velplat::network::SetMachineAddresses({m.publicAddress}, &machine);
  }
}

namespace {
std::vector<std::string> Field(const std::vector<OracleMember>& members, std::string OracleMember::*field) {
  std::vector<std::string> names;
  for (const auto& m : members) names.push_back(m.*field);
  return names;
}
}  // namespace

void WriteClusterManagerKey(const std::vector<OracleMember>& members) {
  velplat::registry::CreateKey(kClusterManagerKeyPath);
  SetPrivateNames(Field(members, &OracleMember::privateName));
  if (!members.empty()) velplat::registry::SetString(kClusterManagerKeyPath, "HostName", members[0].publicName);
  SetPublicNames(Field(members, &OracleMember::publicName));
}

void SetPublicNames(const std::vector<std::string>& names) {
  velplat::registry::SetMultiString(kClusterManagerKeyPath, "PublicNodeNames", names);
}

void SetPrivateNames(const std::vector<std::string>& names) {
  velplat::registry::SetMultiString(kClusterManagerKeyPath, "PrivateNodeNames", names);
}

void WriteHostsFile(const std::string& text) { PutLocalFile(kHostsPath, text); }

void PutLocalFile(const std::string& path, const std::string& bytes) {
  size_t slash = path.rfind('\\');
  velplat::files::MakeDirectories(path.substr(0, slash));
  velplat::files::PutFile(path, bytes);
}

void InstallClusterManagerExecutable(DWORD imagePathType, const std::string& imagePath, const std::string& fileVersion) {
  const char key[] = "HKLM\\SYSTEM\\CurrentControlSet\\Services\\OracleCMService9i";
  std::vector<BYTE> data(imagePath.begin(), imagePath.end());
  data.push_back(0);
  velplat::registry::SetValue(key, "ImagePath", imagePathType, data);
  char expanded[512];
  ExpandEnvironmentStringsA(imagePath.c_str(), expanded, sizeof expanded);
  std::string path = expanded;
  velplat::files::MakeDirectories(path.substr(0, path.rfind('\\')));
  if (fileVersion.empty())
    velplat::files::PutFile(path, "MZ no resources");
  else
    velplat::files::PutExecutable(path, velplat::files::MakeVersionResource(fileVersion, fileVersion));
}

bool Eventually(const std::function<bool()>& done, int milliseconds) {
  auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(milliseconds);
  while (!done()) {
    if (std::chrono::steady_clock::now() > deadline) return false;
    std::this_thread::sleep_for(std::chrono::milliseconds(2));
  }
  return true;
}

}  // namespace velmon::test
