// File version information: sizes and errors of GetFileVersionInfoSizeA, the
// block copied by GetFileVersionInfoA, and the values VerQueryValueA finds in
// it, as the Oracle back-end and the installer library read them.
#include <windows.h>
#include <winapi/files.h>
#include <winver.h>

#include <velplat/faults.h>
#include <velplat/files.h>
#include <velplat/world.h>

#include <gtest/gtest.h>

#include <cstring>
#include <optional>
#include <stdexcept>
#include <string>
#include <utility>
#include <vector>

namespace {

namespace files = velplat::files;

constexpr const char* kImage = "C:\\Oracle\\bin\\CMSrvr.exe";

class VersionInfo : public ::testing::Test {
 protected:
  void SetUp() override {
    velplat::World::Get().Reset();
    velplat::faults::Clear();
  }

  // The block of a file, read as the product reads it.
  static std::vector<char> Block(const char* path) {
    DWORD handle = 7;
    DWORD size = GetFileVersionInfoSizeA(path, &handle);
    EXPECT_EQ(0u, handle);
    std::vector<char> block(size);
    if (size == 0 || !GetFileVersionInfoA(path, 0, size, block.data())) ADD_FAILURE() << "no block in " << path;
    return block;
  }

  // The string and its announced length; nullopt when the query fails.
  static std::optional<std::pair<std::string, UINT>> Text(const std::vector<char>& block, const char* query) {
    void* value = nullptr;
    UINT length = 0;
    if (!VerQueryValueA(block.data(), query, &value, &length)) return std::nullopt;
    return std::make_pair(std::string(static_cast<const char*>(value)), length);
  }
};

TEST_F(VersionInfo, StringsAreFoundWithEitherHexCaseAndTheirLengthCountsTheTerminator) {
  ASSERT_EQ(static_cast<DWORD>(ERROR_SUCCESS),
            files::PutExecutable(kImage, files::MakeVersionResource("9.2.0.1.0 Production", "9.2.0.1")));
  std::vector<char> block = Block(kImage);

  auto fileVersion = Text(block, "\\StringFileInfo\\040904B0\\FileVersion");
  ASSERT_TRUE(fileVersion);
  EXPECT_EQ("9.2.0.1.0 Production", fileVersion->first);
  EXPECT_EQ(21u, fileVersion->second) << "20 characters and the terminator";
  auto productVersion = Text(block, "\\StringFileInfo\\040904b0\\ProductVersion");
  ASSERT_TRUE(productVersion);
  EXPECT_EQ("9.2.0.1", productVersion->first);
  EXPECT_EQ(8u, productVersion->second);
  EXPECT_TRUE(Text(block, "StringFileInfo\\040904b0\\productversion")) << "leading '\\' and case are optional";

  SetLastError(0);
  EXPECT_FALSE(Text(block, "\\StringFileInfo\\040704B0\\FileVersion")) << "another language";
  EXPECT_EQ(static_cast<DWORD>(ERROR_RESOURCE_TYPE_NOT_FOUND), GetLastError());
  EXPECT_FALSE(Text(block, "\\StringFileInfo\\040904B0\\CompanyName"));
  EXPECT_FALSE(Text(block, "\\StringFileInfo\\040904B0"));

  // Pointers point into the caller's block: a copy answers on its own.
  std::vector<char> copy = block;
  std::memset(block.data(), 0, block.size());
  void* value = nullptr;
  UINT length = 0;
  ASSERT_TRUE(VerQueryValueA(copy.data(), "\\StringFileInfo\\040904B0\\ProductVersion", &value, &length));
  EXPECT_GE(static_cast<char*>(value), copy.data());
  EXPECT_LE(static_cast<char*>(value) + length, copy.data() + copy.size());
  SetLastError(0);
  EXPECT_FALSE(VerQueryValueA(block.data(), "\\", &value, &length)) << "a zeroed buffer holds no block";
  EXPECT_EQ(static_cast<DWORD>(ERROR_INVALID_DATA), GetLastError());
}

TEST_F(VersionInfo, FixedPartAndTranslationDescribeTheResource) {
  files::VersionResource resource = files::MakeVersionResource("2.1 SP3", "2.1.7.65535");
  resource.tables.push_back({"040704E4", {{"FileVersion", "2.1 (de)"}}});
  ASSERT_EQ(static_cast<DWORD>(ERROR_SUCCESS), files::PutExecutable(kImage, resource));
  std::vector<char> block = Block(kImage);

  void* value = nullptr;
  UINT length = 0;
  ASSERT_TRUE(VerQueryValueA(block.data(), "\\", &value, &length));
  ASSERT_EQ(sizeof(VS_FIXEDFILEINFO), length);
  VS_FIXEDFILEINFO fixed;
  std::memcpy(&fixed, value, sizeof fixed);
  EXPECT_EQ(static_cast<DWORD>(VS_FFI_SIGNATURE), fixed.dwSignature);
  EXPECT_EQ(0x00020001u, fixed.dwFileVersionMS);
  EXPECT_EQ(0x00000000u, fixed.dwFileVersionLS);
  EXPECT_EQ(0x00020001u, fixed.dwProductVersionMS);
  EXPECT_EQ(0x0007FFFFu, fixed.dwProductVersionLS);

  ASSERT_TRUE(VerQueryValueA(block.data(), "\\VarFileInfo\\Translation", &value, &length));
  ASSERT_EQ(8u, length) << "two language/code-page pairs";
  WORD pairs[4];
  std::memcpy(pairs, value, sizeof pairs);
  EXPECT_EQ(0x0409, pairs[0]);
  EXPECT_EQ(0x04B0, pairs[1]);
  EXPECT_EQ(0x0407, pairs[2]);
  EXPECT_EQ(0x04E4, pairs[3]);
  EXPECT_EQ("2.1 (de)", Text(block, "\\StringFileInfo\\040704e4\\FileVersion")->first);

  resource.tables[0].langCodepage = "0409";
  EXPECT_THROW(files::ExecutableImage(resource), std::invalid_argument);
}

TEST_F(VersionInfo, FilesWithoutAResourceGiveSizeZeroWithTheReason) {
  ASSERT_EQ(static_cast<DWORD>(ERROR_SUCCESS), files::PutFile("C:\\Oracle\\bin\\readme.txt", "no resource here"));
  DWORD handle = 9;
  SetLastError(0);
  EXPECT_EQ(0u, GetFileVersionInfoSizeA("C:\\Oracle\\bin\\readme.txt", &handle));
  EXPECT_EQ(static_cast<DWORD>(ERROR_RESOURCE_DATA_NOT_FOUND), GetLastError());
  EXPECT_EQ(0u, handle);
  EXPECT_EQ(0u, GetFileVersionInfoSizeA("C:\\Oracle\\bin\\none.exe", &handle));
  EXPECT_EQ(static_cast<DWORD>(ERROR_FILE_NOT_FOUND), GetLastError());
  EXPECT_EQ(0u, GetFileVersionInfoSizeA("C:\\NoOracle\\bin\\none.exe", nullptr));
  EXPECT_EQ(static_cast<DWORD>(ERROR_PATH_NOT_FOUND), GetLastError());

  std::string image = files::ExecutableImage(files::MakeVersionResource("1.0", "1.0"));
  ASSERT_EQ(static_cast<DWORD>(ERROR_SUCCESS), files::PutFile(kImage, image.substr(0, image.size() - 1)));
  EXPECT_EQ(0u, GetFileVersionInfoSizeA(kImage, nullptr)) << "a truncated resource is no resource";
  EXPECT_EQ(static_cast<DWORD>(ERROR_RESOURCE_DATA_NOT_FOUND), GetLastError());
}

TEST_F(VersionInfo, CopyingNeedsTheFullSizeAndHonoursInjectedFailures) {
  ASSERT_EQ(static_cast<DWORD>(ERROR_SUCCESS), files::PutExecutable(kImage, files::MakeVersionResource("1.0", "1.0")));
  DWORD size = GetFileVersionInfoSizeA(kImage, nullptr);
  ASSERT_GT(size, sizeof(VS_FIXEDFILEINFO));
  std::vector<char> block(size + 1);
  EXPECT_FALSE(GetFileVersionInfoA(kImage, 0, size - 1, block.data()));
  EXPECT_EQ(static_cast<DWORD>(ERROR_INSUFFICIENT_BUFFER), GetLastError());
  EXPECT_TRUE(GetFileVersionInfoA(kImage, 0, size + 1, block.data())) << "a larger block is fine";

  velplat::faults::FailCall("GetFileVersionInfoA", ERROR_NOT_ENOUGH_MEMORY);
  EXPECT_FALSE(GetFileVersionInfoA(kImage, 0, size, block.data()));
  EXPECT_EQ(static_cast<DWORD>(ERROR_NOT_ENOUGH_MEMORY), GetLastError());
  velplat::faults::FailCall("GetFileVersionInfoSizeA", ERROR_ACCESS_DENIED);
  EXPECT_EQ(0u, GetFileVersionInfoSizeA(kImage, nullptr));
  EXPECT_EQ(static_cast<DWORD>(ERROR_ACCESS_DENIED), GetLastError());

  HANDLE writer = CreateFileA(kImage, GENERIC_WRITE, 0, nullptr, OPEN_EXISTING, 0, nullptr);
  ASSERT_NE(INVALID_HANDLE_VALUE, writer);
  EXPECT_EQ(0u, GetFileVersionInfoSizeA(kImage, nullptr)) << "an exclusive writer keeps readers out";
  EXPECT_EQ(static_cast<DWORD>(ERROR_SHARING_VIOLATION), GetLastError());
  CloseHandle(writer);
}

}  // namespace
