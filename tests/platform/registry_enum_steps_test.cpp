// Enumerating subkeys index after index is served from the position of the
// previous call: the answers must stay those of the key's current subkeys
// in order, when subkeys come and go between calls, when indexes go
// backwards or jump, and when two handles enumerate the same key at once.
#include <windows.h>

#include <velplat/registry.h>
#include <velplat/world.h>

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

namespace reg = velplat::registry;

constexpr const char* kPath = "SOFTWARE\\Velmora\\Steps";
constexpr const char* kFullPath = "HKLM\\SOFTWARE\\Velmora\\Steps";

class RegistryEnumSteps : public ::testing::Test {
 protected:
  void SetUp() override {
    velplat::World::Get().Reset();
    ASSERT_EQ(ERROR_SUCCESS, RegCreateKeyA(HKEY_LOCAL_MACHINE, kPath, &key_));
  }
  void TearDown() override { RegCloseKey(key_); }

  void Add(const char* name) {
    HKEY sub = nullptr;
    ASSERT_EQ(ERROR_SUCCESS, RegCreateKeyA(key_, name, &sub));
    RegCloseKey(sub);
  }
  void Remove(const char* name) { ASSERT_EQ(ERROR_SUCCESS, RegDeleteKeyA(key_, name)); }

  // The subkey at `index` through `key`, or the error.
  static std::string At(HKEY key, DWORD index) {
    char name[256];
    DWORD chars = sizeof name;
    LONG rc = RegEnumKeyExA(key, index, name, &chars, nullptr, nullptr, nullptr, nullptr);
    return rc == ERROR_SUCCESS ? std::string(name) : "error " + std::to_string(rc);
  }
  // What index `index` must answer now.
  static std::string Expected(DWORD index) {
    std::vector<std::string> names = reg::SubkeyNames(kFullPath);
    return index < names.size() ? names[index] : "error " + std::to_string(ERROR_NO_MORE_ITEMS);
  }
  void ExpectSteps(const std::vector<DWORD>& indexes) {
    for (DWORD index : indexes) EXPECT_EQ(At(key_, index), Expected(index)) << "index " << index;
  }

  HKEY key_ = nullptr;
};

TEST_F(RegistryEnumSteps, SubkeysAddedOrDeletedBetweenConsecutiveIndexesAreSeen) {
  for (const char* name : {"B", "D", "F", "H"}) Add(name);
  ExpectSteps({0, 1});
  Add("C");  // lands before the position just read
  ExpectSteps({2, 3});
  EXPECT_EQ(At(key_, 2), "D");
  Remove("B");  // the first goes
  ExpectSteps({3, 4, 0});
  ExpectSteps({1});
  Remove("D");  // the one just read goes
  ExpectSteps({2, 3});
  Add("Z");  // behind the end
  ExpectSteps({3, 4});
  EXPECT_EQ(At(key_, 3), "Z");
}

TEST_F(RegistryEnumSteps, BackwardsJumpsAndPastTheEndAnswerInOrder) {
  for (int i = 0; i < 40; ++i) Add(("K" + std::to_string(100 + i)).c_str());
  ExpectSteps({39, 38, 37, 0, 20, 21, 19, 40, 41, 0, 1, 39, 2, 38});
  // Deleting from the last index down, as a cleanup does, meets every key.
  for (DWORD index = 40; index-- > 0;) {
    std::string name = At(key_, index);
    ASSERT_EQ(name, Expected(index));
    Remove(name.c_str());
  }
  EXPECT_TRUE(reg::SubkeyNames(kFullPath).empty());
  EXPECT_EQ(At(key_, 0), "error " + std::to_string(ERROR_NO_MORE_ITEMS));
}

TEST_F(RegistryEnumSteps, TwoHandlesEnumeratingOneKeyDoNotDisturbEachOther) {
  for (const char* name : {"A", "B", "C", "D", "E"}) Add(name);
  HKEY other = nullptr;
  ASSERT_EQ(ERROR_SUCCESS, RegOpenKeyExA(HKEY_LOCAL_MACHINE, kPath, 0, KEY_READ, &other));
  std::vector<std::string> first;
  std::vector<std::string> second;
  for (DWORD index = 0; index < 5; ++index) {
    first.push_back(At(key_, index));
    second.push_back(At(other, 4 - index));
  }
  EXPECT_EQ(first, (std::vector<std::string>{"A", "B", "C", "D", "E"}));
  EXPECT_EQ(second, (std::vector<std::string>{"E", "D", "C", "B", "A"}));
  RegCloseKey(other);
}

}  // namespace
