// Builds Oracle RAC worlds for tests: the cluster manager's registry entries,
// its service on every member, the agent account, the HOSTS file, resolver
// names and the executable's version resource.
#ifndef VELMON_TESTS_BACKENDS_ORACLE_ORACLE_WORLD_H
#define VELMON_TESTS_BACKENDS_ORACLE_ORACLE_WORLD_H

#include <windows.h>
#include <velplat/world.h>

#include <functional>
#include <string>
#include <vector>

namespace velmon::test {

inline constexpr char kClusterManagerKeyPath[] = "HKLM\\SOFTWARE\\Oracle\\osd9i\\CM";
inline constexpr char kHostsPath[] = "C:\\WINNT\\System32\\drivers\\etc\\hosts";
inline constexpr char kAgentPassword[] = "{3C1F5E92-7B40-4d1a-9E27-C48B0D6A5F13}";

struct OracleMember {
  std::string publicName;   // also the member's machine name
  std::string privateName;
  std::string publicAddress;  // dotted; resolves the public name
  DWORD serviceState = SERVICE_RUNNING;
  bool hasAgentAccount = true;
};

// Makes the first member the local machine and gives every member its
// machine, service, account and address. Writes no Oracle registry entries:
// see WriteClusterManagerKey.
void MakeOracleMembers(const std::vector<OracleMember>& members);

// The cluster-manager key on the local machine with the members' lists and
// HostName = the first member.
void WriteClusterManagerKey(const std::vector<OracleMember>& members);
void SetPublicNames(const std::vector<std::string>& names);
void SetPrivateNames(const std::vector<std::string>& names);

// The HOSTS file of the local machine, and any other local file.
void WriteHostsFile(const std::string& text);
void PutLocalFile(const std::string& path, const std::string& bytes);

// ImagePath of the cluster manager's service key and an executable there with
// this FileVersion ("" for none).
void InstallClusterManagerExecutable(DWORD imagePathType, const std::string& imagePath, const std::string& fileVersion);

// Waits (real time) until `done` holds; false on timeout.
bool Eventually(const std::function<bool()>& done, int milliseconds = 10000);

}  // namespace velmon::test

#endif
