// Values of the simulated registry through the Win32 calls: data kept byte
// for byte, size announcements, ERROR_MORE_DATA, creation order, access
// rights and the default value.
#include <windows.h>

#include <velplat/faults.h>
#include <velplat/registry.h>
#include <velplat/world.h>

#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

namespace {

namespace reg = velplat::registry;

constexpr DWORD kSentinel = 0xDEADBEEF;

class RegistryValues : public ::testing::Test {
 protected:
  void SetUp() override {
    velplat::World::Get().Reset();
    velplat::faults::Clear();
    ASSERT_EQ(ERROR_SUCCESS, RegCreateKeyA(HKEY_LOCAL_MACHINE, "SOFTWARE\\Values", &key_));
  }
  void TearDown() override {
    RegCloseKey(key_);
    velplat::faults::Clear();
  }

  LONG Set(const char* name, DWORD type, const void* data, DWORD size) {
    return RegSetValueExA(key_, name, 0, type, static_cast<const BYTE*>(data), size);
  }

  std::vector<std::string> ValueOrder() {
    std::vector<std::string> names;
    for (DWORD i = 0;; ++i) {
      char name[64];
      DWORD chars = sizeof name;
      LONG rc = RegEnumValueA(key_, i, name, &chars, nullptr, nullptr, nullptr, nullptr);
      if (rc != ERROR_SUCCESS) {
        EXPECT_EQ(ERROR_NO_MORE_ITEMS, rc);
        break;
      }
      names.push_back(name);
    }
    return names;
  }

  HKEY key_ = nullptr;
};

TEST_F(RegistryValues, DataIsKeptExactlyAsGivenForEveryType) {
  const char unterminated[] = {'a', 'b', 'c'};
  const char expand[] = "%SystemRoot%\\System32\\velmon.dll";
  const char multi[] = "node1\0node2\0";  // the literal adds the final zero
  const DWORD seven = 7;
  const BYTE blob[] = {0x00, 0xFF, 0x10};
  ASSERT_EQ(ERROR_SUCCESS, Set("sz", REG_SZ, unterminated, sizeof unterminated));
  ASSERT_EQ(ERROR_SUCCESS, Set("expand", REG_EXPAND_SZ, expand, sizeof expand));
  ASSERT_EQ(ERROR_SUCCESS, Set("multi", REG_MULTI_SZ, multi, sizeof multi));
  ASSERT_EQ(ERROR_SUCCESS, Set("dword", REG_DWORD, &seven, sizeof seven));
  ASSERT_EQ(ERROR_SUCCESS, Set("blob", REG_BINARY, blob, sizeof blob));
  ASSERT_EQ(ERROR_SUCCESS, Set("none", REG_NONE, nullptr, 0));

  struct Expect {
    const char* name;
    DWORD type;
    const void* data;
    DWORD size;
  } expected[] = {{"sz", REG_SZ, unterminated, 3},         {"expand", REG_EXPAND_SZ, expand, sizeof expand},
                  {"multi", REG_MULTI_SZ, multi, 13},      {"dword", REG_DWORD, &seven, 4},
                  {"blob", REG_BINARY, blob, sizeof blob}, {"none", REG_NONE, nullptr, 0}};
  for (const Expect& e : expected) {
    BYTE data[64];
    std::memset(data, 0xAA, sizeof data);
    DWORD type = kSentinel;
    DWORD size = sizeof data;
    ASSERT_EQ(ERROR_SUCCESS, RegQueryValueExA(key_, e.name, nullptr, &type, data, &size)) << e.name;
    EXPECT_EQ(e.type, type) << e.name;
    ASSERT_EQ(e.size, size) << e.name;
    if (e.size) {
      EXPECT_EQ(0, std::memcmp(e.data, data, e.size)) << e.name;
    }
    EXPECT_EQ(0xAA, data[e.size]) << e.name << ": nothing is written past the data";
  }
}

TEST_F(RegistryValues, QueryAnnouncesSizesAndRefusesSmallBuffers) {
  const char text[] = "Cluster";  // 8 bytes with the zero
  ASSERT_EQ(ERROR_SUCCESS, Set("Name", REG_SZ, text, sizeof text));

  DWORD type = kSentinel;
  DWORD size = 0;
  ASSERT_EQ(ERROR_SUCCESS, RegQueryValueExA(key_, "name", nullptr, &type, nullptr, &size));
  EXPECT_EQ(8u, size);
  EXPECT_EQ(static_cast<DWORD>(REG_SZ), type);

  char buffer[8];
  std::memset(buffer, 'x', sizeof buffer);
  size = 7;
  type = kSentinel;
  EXPECT_EQ(ERROR_MORE_DATA, RegQueryValueExA(key_, "Name", nullptr, &type, reinterpret_cast<BYTE*>(buffer), &size));
  EXPECT_EQ(8u, size);
  EXPECT_EQ(static_cast<DWORD>(REG_SZ), type);
  EXPECT_EQ('x', buffer[0]);

  size = 8;
  ASSERT_EQ(ERROR_SUCCESS, RegQueryValueExA(key_, "Name", nullptr, nullptr, reinterpret_cast<BYTE*>(buffer), &size));
  EXPECT_STREQ("Cluster", buffer);

  // A missing value leaves every output alone.
  size = kSentinel;
  type = kSentinel;
  EXPECT_EQ(ERROR_FILE_NOT_FOUND,
            RegQueryValueExA(key_, "Absent", nullptr, &type, reinterpret_cast<BYTE*>(buffer), &size));
  EXPECT_EQ(kSentinel, size);
  EXPECT_EQ(kSentinel, type);

  DWORD reserved = 0;
  EXPECT_EQ(ERROR_INVALID_PARAMETER, RegQueryValueExA(key_, "Name", &reserved, nullptr, nullptr, &size));
  EXPECT_EQ(ERROR_INVALID_PARAMETER,
            RegQueryValueExA(key_, "Name", nullptr, nullptr, reinterpret_cast<BYTE*>(buffer), nullptr));
  EXPECT_EQ(ERROR_NOACCESS, Set("Name", REG_SZ, nullptr, 4));
}

TEST_F(RegistryValues, ValuesEnumerateInCreationOrderAndKeepTheirPlace) {
  const DWORD n = 1;
  for (const char* name : {"zeta", "Alpha", "mid"}) ASSERT_EQ(ERROR_SUCCESS, Set(name, REG_DWORD, &n, sizeof n));
  const DWORD two = 2;
  ASSERT_EQ(ERROR_SUCCESS, Set("ZETA", REG_DWORD, &two, sizeof two));
  EXPECT_EQ((std::vector<std::string>{"zeta", "Alpha", "mid"}), ValueOrder());

  ASSERT_EQ(ERROR_SUCCESS, RegDeleteValueA(key_, "ALPHA"));
  EXPECT_EQ(ERROR_FILE_NOT_FOUND, RegDeleteValueA(key_, "Alpha"));
  ASSERT_EQ(ERROR_SUCCESS, Set("Alpha", REG_DWORD, &n, sizeof n));
  EXPECT_EQ((std::vector<std::string>{"zeta", "mid", "Alpha"}), ValueOrder());

  DWORD value = 0;
  DWORD size = sizeof value;
  ASSERT_EQ(ERROR_SUCCESS, RegQueryValueExA(key_, "zeta", nullptr, nullptr, reinterpret_cast<BYTE*>(&value), &size));
  EXPECT_EQ(2u, value);
}

TEST_F(RegistryValues, EnumValueReportsDataSizeAndNameShortfalls) {
  const char text[] = "0123456789";  // 11 bytes
  ASSERT_EQ(ERROR_SUCCESS, Set("Digits", REG_SZ, text, sizeof text));

  char name[16] = "untouched";
  DWORD nameChars = sizeof name;
  DWORD type = kSentinel;
  BYTE data[16];
  DWORD dataSize = 10;
  EXPECT_EQ(ERROR_MORE_DATA, RegEnumValueA(key_, 0, name, &nameChars, nullptr, &type, data, &dataSize));
  EXPECT_EQ(11u, dataSize);
  EXPECT_EQ(static_cast<DWORD>(REG_SZ), type);
  EXPECT_EQ(static_cast<DWORD>(sizeof name), nameChars);
  EXPECT_STREQ("untouched", name);

  nameChars = 6;  // "Digits" without room for its zero
  dataSize = sizeof data;
  EXPECT_EQ(ERROR_MORE_DATA, RegEnumValueA(key_, 0, name, &nameChars, nullptr, nullptr, data, &dataSize));
  EXPECT_EQ(6u, nameChars);
  EXPECT_EQ(11u, dataSize);

  nameChars = 7;
  dataSize = 0;
  ASSERT_EQ(ERROR_SUCCESS, RegEnumValueA(key_, 0, name, &nameChars, nullptr, nullptr, nullptr, &dataSize));
  EXPECT_STREQ("Digits", name);
  EXPECT_EQ(6u, nameChars);
  EXPECT_EQ(11u, dataSize);

  EXPECT_EQ(ERROR_NO_MORE_ITEMS, RegEnumValueA(key_, 1, name, &nameChars, nullptr, nullptr, nullptr, nullptr));
  EXPECT_EQ(ERROR_INVALID_PARAMETER, RegEnumValueA(key_, 0, nullptr, &nameChars, nullptr, nullptr, nullptr, nullptr));
}

TEST_F(RegistryValues, AccessRightsOfTheHandleAreEnforced) {
  const DWORD n = 5;
  ASSERT_EQ(ERROR_SUCCESS, Set("Count", REG_DWORD, &n, sizeof n));

  HKEY readOnly = nullptr;
  ASSERT_EQ(ERROR_SUCCESS, RegOpenKeyExA(HKEY_LOCAL_MACHINE, "SOFTWARE\\Values", 0, KEY_READ, &readOnly));
  EXPECT_EQ(ERROR_ACCESS_DENIED, RegSetValueExA(readOnly, "Count", 0, REG_DWORD, reinterpret_cast<const BYTE*>(&n), 4));
  EXPECT_EQ(ERROR_ACCESS_DENIED, RegDeleteValueA(readOnly, "Count"));
  DWORD value = 0;
  DWORD size = sizeof value;
  EXPECT_EQ(ERROR_SUCCESS, RegQueryValueExA(readOnly, "Count", nullptr, nullptr, reinterpret_cast<BYTE*>(&value), &size));
  EXPECT_EQ(5u, value);
  RegCloseKey(readOnly);

  HKEY writeOnly = nullptr;
  ASSERT_EQ(ERROR_SUCCESS, RegOpenKeyExA(HKEY_LOCAL_MACHINE, "SOFTWARE\\Values", 0, KEY_WRITE, &writeOnly));
  EXPECT_EQ(ERROR_ACCESS_DENIED, RegQueryValueExA(writeOnly, "Count", nullptr, nullptr, nullptr, &size));
  char name[8];
  DWORD chars = sizeof name;
  EXPECT_EQ(ERROR_ACCESS_DENIED, RegEnumKeyExA(writeOnly, 0, name, &chars, nullptr, nullptr, nullptr, nullptr));
  EXPECT_EQ(ERROR_SUCCESS, RegSetValueExA(writeOnly, "Count", 0, REG_DWORD, reinterpret_cast<const BYTE*>(&n), 4));
  RegCloseKey(writeOnly);

  // Generic rights map onto key rights.
  HKEY generic = nullptr;
  ASSERT_EQ(ERROR_SUCCESS, RegOpenKeyExA(HKEY_LOCAL_MACHINE, "SOFTWARE\\Values", 0, GENERIC_READ, &generic));
  EXPECT_EQ(ERROR_SUCCESS, RegQueryValueExA(generic, "Count", nullptr, nullptr, nullptr, &size));
  EXPECT_EQ(ERROR_ACCESS_DENIED, RegDeleteValueA(generic, "Count"));
  RegCloseKey(generic);
}

TEST_F(RegistryValues, NullAndEmptyNamesAreTheDefaultValue) {
  DWORD size = kSentinel;
  EXPECT_EQ(ERROR_FILE_NOT_FOUND, RegQueryValueExA(key_, nullptr, nullptr, nullptr, nullptr, &size));
  const char text[] = "default";
  ASSERT_EQ(ERROR_SUCCESS, Set(nullptr, REG_SZ, text, sizeof text));
  ASSERT_EQ(ERROR_SUCCESS, RegQueryValueExA(key_, "", nullptr, nullptr, nullptr, &size));
  EXPECT_EQ(static_cast<DWORD>(sizeof text), size);
  EXPECT_EQ(std::vector<std::string>{""}, ValueOrder());
  auto stored = reg::GetValue("HKLM\\SOFTWARE\\Values", "");
  ASSERT_TRUE(stored);
  EXPECT_EQ(std::vector<BYTE>(text, text + sizeof text), stored->data);
}

}  // namespace
