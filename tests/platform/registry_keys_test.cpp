// Keys and handles of the simulated registry through the Win32 calls: names,
// enumeration order, buffer rules, handle lifetime, deletion, other machines
// and fault injection.
#include <windows.h>

#include <velplat/faults.h>
#include <velplat/registry.h>
#include <velplat/world.h>

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

namespace reg = velplat::registry;

class RegistryKeys : public ::testing::Test {
 protected:
  void SetUp() override {
    velplat::World::Get().Reset();
    velplat::faults::Clear();
  }
  void TearDown() override { velplat::faults::Clear(); }

  static HKEY Create(HKEY parent, const char* path) {
    HKEY key = nullptr;
    EXPECT_EQ(ERROR_SUCCESS, RegCreateKeyA(parent, path, &key)) << path;
    return key;
  }

  static std::vector<std::string> EnumNames(HKEY key) {
    std::vector<std::string> names;
    for (DWORD i = 0;; ++i) {
      char name[256];
      DWORD chars = sizeof name;
      LONG rc = RegEnumKeyExA(key, i, name, &chars, nullptr, nullptr, nullptr, nullptr);
      if (rc == ERROR_NO_MORE_ITEMS) break;
      EXPECT_EQ(ERROR_SUCCESS, rc);
      if (rc != ERROR_SUCCESS) break;
      EXPECT_EQ(std::string(name).size(), chars);
      names.push_back(name);
    }
    return names;
  }
};

TEST_F(RegistryKeys, NamesAreCaseInsensitiveAndKeepTheirFirstSpelling) {
  RegCloseKey(Create(HKEY_LOCAL_MACHINE, "SOFTWARE\\Velmora\\MixedCase"));
  HKEY key = nullptr;
  ASSERT_EQ(ERROR_SUCCESS, RegOpenKeyExA(HKEY_LOCAL_MACHINE, "software\\VELMORA", 0, KEY_READ, &key));
  EXPECT_EQ(std::vector<std::string>{"MixedCase"}, EnumNames(key));
  RegCloseKey(key);
  // Creating it again under another spelling leaves the first spelling.
  RegCloseKey(Create(HKEY_LOCAL_MACHINE, "SOFTWARE\\VELMORA\\MIXEDCASE"));
  EXPECT_EQ(std::vector<std::string>{"MixedCase"}, reg::SubkeyNames("HKLM\\SOFTWARE\\Velmora"));
}

TEST_F(RegistryKeys, SubkeysEnumerateInUpperCaseFoldedOrder) {
  HKEY base = Create(HKEY_LOCAL_MACHINE, "SOFTWARE\\Order");
  for (const char* name : {"beta", "Gamma", "a_b", "AB", "Alpha"}) RegCloseKey(Create(base, name));
  // Folding to upper case puts '_' after the letters: AB < ALPHA < A_B.
  EXPECT_EQ((std::vector<std::string>{"AB", "Alpha", "a_b", "beta", "Gamma"}), EnumNames(base));

  char name[16];
  DWORD chars = sizeof name;
  EXPECT_EQ(ERROR_NO_MORE_ITEMS, RegEnumKeyExA(base, 5, name, &chars, nullptr, nullptr, nullptr, nullptr));
  EXPECT_EQ(ERROR_NO_MORE_ITEMS, RegEnumKeyA(base, 5, name, sizeof name));
  ASSERT_EQ(ERROR_SUCCESS, RegEnumKeyA(base, 3, name, sizeof name));
  EXPECT_STREQ("beta", name);
  RegCloseKey(base);
}

TEST_F(RegistryKeys, EnumKeyNeedsRoomForTheTerminator) {
  HKEY base = Create(HKEY_LOCAL_MACHINE, "SOFTWARE\\Sized");
  RegCloseKey(Create(base, "nodeA"));

  char name[16] = "untouched";
  DWORD chars = 5;  // "nodeA" without room for its zero
  EXPECT_EQ(ERROR_MORE_DATA, RegEnumKeyExA(base, 0, name, &chars, nullptr, nullptr, nullptr, nullptr));
  EXPECT_EQ(5u, chars);
  EXPECT_STREQ("untouched", name);
  EXPECT_EQ(ERROR_MORE_DATA, RegEnumKeyA(base, 0, name, 5));

  chars = 6;
  ASSERT_EQ(ERROR_SUCCESS, RegEnumKeyExA(base, 0, name, &chars, nullptr, nullptr, nullptr, nullptr));
  EXPECT_EQ(5u, chars);
  EXPECT_STREQ("nodeA", name);

  // Keys carry an empty class.
  char className[4] = "xx";
  DWORD classChars = sizeof className;
  chars = sizeof name;
  ASSERT_EQ(ERROR_SUCCESS, RegEnumKeyExA(base, 0, name, &chars, nullptr, className, &classChars, nullptr));
  EXPECT_EQ(0u, classChars);
  EXPECT_STREQ("", className);
  RegCloseKey(base);
}

TEST_F(RegistryKeys, OpenFailuresAndDispositions) {
  HKEY key = reinterpret_cast<HKEY>(0x1);
  EXPECT_EQ(ERROR_FILE_NOT_FOUND, RegOpenKeyExA(HKEY_LOCAL_MACHINE, "SOFTWARE\\Missing", 0, KEY_READ, &key));
  EXPECT_EQ(nullptr, key);
  EXPECT_EQ(ERROR_BAD_PATHNAME, RegOpenKeyExA(HKEY_LOCAL_MACHINE, "\\SOFTWARE", 0, KEY_READ, &key));
  EXPECT_EQ(ERROR_INVALID_PARAMETER, RegOpenKeyExA(HKEY_LOCAL_MACHINE, "SOFTWARE", 0, KEY_READ, nullptr));

  DWORD disposition = 0;
  ASSERT_EQ(ERROR_SUCCESS, RegCreateKeyExA(HKEY_LOCAL_MACHINE, "SOFTWARE\\New\\Deep\\Leaf", 0, nullptr,
                                           REG_OPTION_NON_VOLATILE, KEY_ALL_ACCESS, nullptr, &key, &disposition));
  EXPECT_EQ(static_cast<DWORD>(REG_CREATED_NEW_KEY), disposition);
  RegCloseKey(key);
  // Repeated and trailing separators are ignored; the intermediate keys exist.
  ASSERT_EQ(ERROR_SUCCESS, RegOpenKeyExA(HKEY_LOCAL_MACHINE, "SOFTWARE\\\\New\\Deep\\", 0, KEY_READ, &key));
  RegCloseKey(key);

  // Names longer than 255 characters cannot be created.
  std::string longName(256, 'k');
  EXPECT_EQ(ERROR_INVALID_PARAMETER, RegCreateKeyA(HKEY_LOCAL_MACHINE, ("SOFTWARE\\" + longName).c_str(), &key));
}

TEST_F(RegistryKeys, HandlesAreIndependentAndPredefinedOnesNeedNoClose) {
  HKEY first = Create(HKEY_LOCAL_MACHINE, "SOFTWARE\\Shared");
  HKEY second = nullptr;
  ASSERT_EQ(ERROR_SUCCESS, RegOpenKeyA(HKEY_LOCAL_MACHINE, "SOFTWARE\\Shared", &second));
  EXPECT_NE(first, second);

  EXPECT_EQ(ERROR_SUCCESS, RegCloseKey(first));
  EXPECT_EQ(ERROR_INVALID_HANDLE, RegCloseKey(first));
  const BYTE one[] = {1};
  EXPECT_EQ(ERROR_INVALID_HANDLE, RegSetValueExA(first, "v", 0, REG_BINARY, one, 1));
  EXPECT_EQ(ERROR_SUCCESS, RegSetValueExA(second, "v", 0, REG_BINARY, one, 1));
  EXPECT_EQ(ERROR_SUCCESS, RegCloseKey(second));

  EXPECT_EQ(ERROR_SUCCESS, RegCloseKey(HKEY_LOCAL_MACHINE));
  HKEY software = nullptr;
  EXPECT_EQ(ERROR_SUCCESS, RegOpenKeyExA(HKEY_LOCAL_MACHINE, "SOFTWARE", 0, KEY_READ, &software));
  RegCloseKey(software);

  // A predefined key with no subkey comes back as it is; RegOpenKeyA does so
  // for any handle.
  HKEY same = nullptr;
  EXPECT_EQ(ERROR_SUCCESS, RegOpenKeyExA(HKEY_LOCAL_MACHINE, "", 0, KEY_READ, &same));
  EXPECT_EQ(HKEY_LOCAL_MACHINE, same);
  HKEY opened = Create(HKEY_LOCAL_MACHINE, "SOFTWARE");
  EXPECT_EQ(ERROR_SUCCESS, RegOpenKeyA(opened, nullptr, &same));
  EXPECT_EQ(opened, same);
  RegCloseKey(opened);

  HKEY bogus = reinterpret_cast<HKEY>(0x4321);
  char name[8];
  DWORD chars = sizeof name;
  EXPECT_EQ(ERROR_INVALID_HANDLE, RegOpenKeyExA(bogus, "x", 0, KEY_READ, &same));
  EXPECT_EQ(ERROR_INVALID_HANDLE, RegEnumKeyExA(bogus, 0, name, &chars, nullptr, nullptr, nullptr, nullptr));
  EXPECT_EQ(ERROR_INVALID_HANDLE, RegCloseKey(nullptr));
}

TEST_F(RegistryKeys, DeleteKeyRefusesSubkeysAndRoots) {
  HKEY parent = Create(HKEY_LOCAL_MACHINE, "SOFTWARE\\Doomed");
  RegCloseKey(Create(parent, "Child"));
  EXPECT_EQ(ERROR_ACCESS_DENIED, RegDeleteKeyA(HKEY_LOCAL_MACHINE, "SOFTWARE\\Doomed"));
  EXPECT_EQ(ERROR_SUCCESS, RegDeleteKeyA(parent, "child"));
  EXPECT_EQ(ERROR_FILE_NOT_FOUND, RegDeleteKeyA(parent, "Child"));
  EXPECT_EQ(ERROR_SUCCESS, RegDeleteKeyA(HKEY_LOCAL_MACHINE, "SOFTWARE\\Doomed"));
  EXPECT_FALSE(reg::KeyExists("HKLM\\SOFTWARE\\Doomed"));

  EXPECT_EQ(ERROR_ACCESS_DENIED, RegDeleteKeyA(HKEY_LOCAL_MACHINE, ""));
  EXPECT_EQ(ERROR_INVALID_PARAMETER, RegDeleteKeyA(HKEY_LOCAL_MACHINE, nullptr));
  RegCloseKey(parent);
}

TEST_F(RegistryKeys, HandleOfADeletedKeyReportsKeyDeleted) {
  HKEY held = Create(HKEY_LOCAL_MACHINE, "SOFTWARE\\Gone");
  ASSERT_EQ(ERROR_SUCCESS, reg::DeleteKeyTree("HKLM\\SOFTWARE\\Gone"));

  const BYTE one[] = {1};
  BYTE data[4];
  DWORD size = sizeof data;
  char name[8];
  DWORD chars = sizeof name;
  HKEY sub = nullptr;
  EXPECT_EQ(ERROR_KEY_DELETED, RegSetValueExA(held, "v", 0, REG_BINARY, one, 1));
  EXPECT_EQ(ERROR_KEY_DELETED, RegQueryValueExA(held, "v", nullptr, nullptr, data, &size));
  EXPECT_EQ(ERROR_KEY_DELETED, RegEnumKeyExA(held, 0, name, &chars, nullptr, nullptr, nullptr, nullptr));
  EXPECT_EQ(ERROR_KEY_DELETED, RegEnumValueA(held, 0, name, &chars, nullptr, nullptr, nullptr, nullptr));
  EXPECT_EQ(ERROR_KEY_DELETED, RegCreateKeyA(held, "sub", &sub));
  EXPECT_EQ(ERROR_KEY_DELETED, RegOpenKeyExA(held, "", 0, KEY_READ, &sub));
  EXPECT_EQ(ERROR_KEY_DELETED, RegNotifyChangeKeyValue(held, TRUE, REG_NOTIFY_CHANGE_NAME, nullptr, FALSE));
  EXPECT_FALSE(reg::KeyExists("HKLM\\SOFTWARE\\Gone"));

  // A new key of the same name is a different key.
  RegCloseKey(Create(HKEY_LOCAL_MACHINE, "SOFTWARE\\Gone"));
  EXPECT_EQ(ERROR_KEY_DELETED, RegSetValueExA(held, "v", 0, REG_BINARY, one, 1));
  EXPECT_EQ(ERROR_SUCCESS, RegCloseKey(held));
}

TEST_F(RegistryKeys, ConnectRegistryReachesAnotherMachineByName) {
  velplat::Machine& nodeB = velplat::World::Get().Add("NODEB");
  ASSERT_EQ(ERROR_SUCCESS, reg::SetString("HKLM\\SOFTWARE\\Only", "Where", "nodeB", &nodeB));

  HKEY remote = nullptr;
  ASSERT_EQ(ERROR_SUCCESS, RegConnectRegistryA("\\\\nodeb", HKEY_LOCAL_MACHINE, &remote));
  HKEY key = nullptr;
  ASSERT_EQ(ERROR_SUCCESS, RegOpenKeyExA(remote, "SOFTWARE\\Only", 0, KEY_READ, &key));
  char text[16] = {};
  DWORD size = sizeof text;
  ASSERT_EQ(ERROR_SUCCESS, RegQueryValueExA(key, "Where", nullptr, nullptr, reinterpret_cast<BYTE*>(text), &size));
  EXPECT_STREQ("nodeB", text);
  RegCloseKey(key);
  EXPECT_EQ(ERROR_SUCCESS, RegCloseKey(remote));
  EXPECT_FALSE(reg::KeyExists("HKLM\\SOFTWARE\\Only"));

  remote = reinterpret_cast<HKEY>(0x1);
  EXPECT_EQ(ERROR_BAD_NETPATH, RegConnectRegistryA("\\\\NOSUCHHOST", HKEY_LOCAL_MACHINE, &remote));
  EXPECT_EQ(reinterpret_cast<HKEY>(0x1), remote);
  EXPECT_EQ(ERROR_INVALID_HANDLE, RegConnectRegistryA("NODEB", HKEY_CURRENT_USER, &remote));
  ASSERT_EQ(ERROR_SUCCESS, RegConnectRegistryA(nullptr, HKEY_LOCAL_MACHINE, &remote));
  EXPECT_EQ(HKEY_LOCAL_MACHINE, remote);
}

TEST_F(RegistryKeys, NewMachinesCarryTheStandardKeys) {
  velplat::Machine& machine = velplat::World::Get().Add("FRESH");
  EXPECT_TRUE(reg::KeyExists("HKLM\\SOFTWARE", &machine));
  EXPECT_TRUE(reg::KeyExists("HKLM\\SYSTEM\\CurrentControlSet\\Services", &machine));
  EXPECT_TRUE(reg::KeyExists("HKLM\\SYSTEM\\CurrentControlSet\\Services\\EventLog\\System", &machine));
  auto name =
      reg::GetValue("SYSTEM\\CurrentControlSet\\Control\\ComputerName\\ComputerName", "ComputerName", &machine);
  ASSERT_TRUE(name);
  EXPECT_EQ(static_cast<DWORD>(REG_SZ), name->type);
  EXPECT_EQ((std::vector<BYTE>{'F', 'R', 'E', 'S', 'H', 0}), name->data);
}

TEST_F(RegistryKeys, ArmedFaultFailsTheCallWithoutEffect) {
  velplat::faults::FailCall("RegCreateKeyExA", ERROR_ACCESS_DENIED);
  HKEY key = reinterpret_cast<HKEY>(0x1);
  EXPECT_EQ(ERROR_ACCESS_DENIED, RegCreateKeyExA(HKEY_LOCAL_MACHINE, "SOFTWARE\\Faulty", 0, nullptr, 0,
                                                 KEY_ALL_ACCESS, nullptr, &key, nullptr));
  EXPECT_EQ(reinterpret_cast<HKEY>(0x1), key);
  EXPECT_FALSE(reg::KeyExists("HKLM\\SOFTWARE\\Faulty"));
  ASSERT_EQ(ERROR_SUCCESS, RegCreateKeyExA(HKEY_LOCAL_MACHINE, "SOFTWARE\\Faulty", 0, nullptr, 0, KEY_ALL_ACCESS,
                                           nullptr, &key, nullptr));

  velplat::faults::FailCall("RegCloseKey", ERROR_INVALID_HANDLE);
  EXPECT_EQ(ERROR_INVALID_HANDLE, RegCloseKey(key));
  EXPECT_EQ(ERROR_SUCCESS, RegCloseKey(key));  // the failed close left it open

  velplat::faults::FailCall("RegOpenKeyExA", ERROR_FILE_NOT_FOUND, 1, 1);
  EXPECT_EQ(ERROR_SUCCESS, RegOpenKeyExA(HKEY_LOCAL_MACHINE, "SOFTWARE", 0, KEY_READ, &key));
  RegCloseKey(key);
  EXPECT_EQ(ERROR_FILE_NOT_FOUND, RegOpenKeyExA(HKEY_LOCAL_MACHINE, "SOFTWARE", 0, KEY_READ, &key));
}

}  // namespace
