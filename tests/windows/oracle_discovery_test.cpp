// Registry-driven Oracle discovery in the built velmon.dll under Wine: the
// cluster manager's key written before start-up configures the back-end.
// What waits on registry change notifications (a key created after
// start-up, node-list changes after configuration) is left to Linux: under
// Wine the agent's threads missed those notifications in most runs. The process's HKEY_LOCAL_MACHINE
// is redirected (RegOverridePredefKey) to a key of its own, so that agents
// started by parallel cases never see this cluster. Public names are dotted
// addresses, which resolve without a name server. The members' service
// states are read from remote service managers as the agent account, which
// Wine cannot serve: those values are tested on Linux only.
#include "backends/oracle/oracle_interface.h"
#include "support/agent_dll.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace wintest {
namespace {

using velmon::oracle::kClusterManagerKey;

// Deletes a key with everything under it.
void DeleteTree(HKEY parent, const std::string& path) {
  HKEY key = nullptr;
  if (RegOpenKeyExA(parent, path.c_str(), 0, KEY_ALL_ACCESS, &key) != ERROR_SUCCESS) return;
  char name[256];
  DWORD size = sizeof name;
  while (RegEnumKeyExA(key, 0, name, &size, nullptr, nullptr, nullptr, nullptr) == ERROR_SUCCESS) {
    DeleteTree(key, name);
    size = sizeof name;
  }
  RegCloseKey(key);
  RegDeleteKeyA(parent, path.c_str());
}

std::string MultiString(const std::vector<std::string>& names) {
  std::string data;
  for (const std::string& name : names) data += name + '\0';
  return data + '\0';
}

class OracleDiscovery : public testing::Test {
 protected:
  void SetUp() override {
    privateRoot_ = "Software\\VelmonWineTest" + std::to_string(GetCurrentProcessId());
    ASSERT_EQ(RegCreateKeyA(HKEY_CURRENT_USER, privateRoot_.c_str(), &root_), ERROR_SUCCESS);
    ASSERT_EQ(RegOverridePredefKey(HKEY_LOCAL_MACHINE, root_), ERROR_SUCCESS);
    // Every machine has HKLM\SOFTWARE; detection watches it for the Oracle key.
    HKEY software = nullptr;
    ASSERT_EQ(RegCreateKeyA(HKEY_LOCAL_MACHINE, velmon::oracle::kSoftwareKey, &software), ERROR_SUCCESS);
    RegCloseKey(software);
  }
  void TearDown() override {
    if (clusterManager_) RegCloseKey(clusterManager_);
    RegOverridePredefKey(HKEY_LOCAL_MACHINE, nullptr);
    if (root_) RegCloseKey(root_);
    DeleteTree(HKEY_CURRENT_USER, privateRoot_);
  }

  void WriteClusterManager(const std::vector<std::string>& publicNames, const std::vector<std::string>& privateNames,
                           const char* hostName) {
    ASSERT_EQ(RegCreateKeyA(HKEY_LOCAL_MACHINE, kClusterManagerKey, &clusterManager_), ERROR_SUCCESS);
    ASSERT_EQ(RegSetValueExA(clusterManager_, velmon::oracle::kHostName, 0, REG_SZ,
                             reinterpret_cast<const BYTE*>(hostName), static_cast<DWORD>(strlen(hostName) + 1)),
              ERROR_SUCCESS);
    SetNames(velmon::oracle::kPrivateNodeNames, privateNames);
    SetNames(velmon::oracle::kPublicNodeNames, publicNames);
  }
  void SetNames(const char* value, const std::vector<std::string>& names) {
    std::string data = MultiString(names);
    ASSERT_EQ(RegSetValueExA(clusterManager_, value, 0, REG_MULTI_SZ, reinterpret_cast<const BYTE*>(data.data()),
                             static_cast<DWORD>(data.size())),
              ERROR_SUCCESS);
  }

  // Get of one name: numbers, and the bytes of strings and addresses.
  struct Value {
    AsnInteger32 status;
    BYTE type;
    LONG number;
    std::string bytes;
  };
  Value Get(std::initializer_list<UINT> suffix) {
    Bindings request({InView(suffix)});
    request.Run(StartedAgent(), SNMP_PDU_GET);
    const AsnAny& value = request[0].value;
    Value result{request.status, value.asnType, value.asnType == ASN_INTEGER ? value.asnValue.number : 0, {}};
    if (value.asnType == ASN_OCTETSTRING || value.asnType == ASN_IPADDRESS)
      result.bytes.assign(reinterpret_cast<const char*>(value.asnValue.string.stream), value.asnValue.string.length);
    return result;
  }
  bool Configured() { return Get({1, 2, 1, 0}).bytes == "Oracle RAC Cluster"; }
  // Polls `done` every 50 ms for up to `seconds`.
  template <class Condition>
  bool Eventually(Condition done, int seconds = 15) {
    for (int i = 0; i < seconds * 20; ++i) {
      if (done()) return true;
      Sleep(50);
    }
    return done();
  }

  std::string privateRoot_;
  HKEY root_ = nullptr;
  HKEY clusterManager_ = nullptr;
};

TEST_F(OracleDiscovery, KeyPresentAtStartConfiguresTheMembers) {
  WriteClusterManager({"127.0.0.1", "127.0.0.2"}, {"wtpriv1", "wtpriv2"}, "127.0.0.1");
  ASSERT_NE(StartedAgent().module, nullptr) << GetLastError();
  ASSERT_TRUE(Eventually([&] { return Configured() && Get({1, 2, 11, 1, 2, 2}).status == 0; }))
      << "vendor name \"" << Get({1, 2, 1, 0}).bytes << "\"";

  EXPECT_EQ(Get({1, 2, 1, 0}).bytes, "Oracle RAC Cluster");
  EXPECT_EQ(Get({1, 2, 2, 0}).bytes, "") << "no service key, no version";
  EXPECT_EQ(Get({1, 2, 4, 0}).number, 23299);
  EXPECT_EQ(Get({1, 2, 7, 0}).bytes, "127.0.0.1");
  EXPECT_EQ(Get({1, 2, 9, 0}).bytes, "Oracle RAC Cluster ");
  EXPECT_EQ(Get({1, 2, 8, 1, 2, 1}).bytes, std::string("\x7f\x00\x00\x01", 4)) << "member 0's public address";
  EXPECT_EQ(Get({1, 2, 11, 1, 2, 1}).bytes, "127.0.0.1");
  EXPECT_EQ(Get({1, 2, 11, 1, 2, 2}).bytes, "127.0.0.2");
  EXPECT_EQ(Get({1, 2, 12, 1, 2, 2, 1}).bytes, std::string("\x7f\x00\x00\x02", 4));
  EXPECT_EQ(Get({1, 2, 11, 1, 2, 3}).status, SNMP_ERRORSTATUS_NOSUCHNAME);

}

}  // namespace
}  // namespace wintest
