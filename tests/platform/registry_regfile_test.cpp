// .reg text: import of both header forms and all value types, deletions,
// continuations, export round trips, and errors that name their line and
// leave the registry untouched.
#include <windows.h>

#include <velplat/registry.h>
#include <velplat/world.h>

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

namespace reg = velplat::registry;

std::vector<BYTE> B(std::string_view text) { return std::vector<BYTE>(text.begin(), text.end()); }

class RegFile : public ::testing::Test {
 protected:
  void SetUp() override { velplat::World::Get().Reset(); }

  static void ExpectValue(std::string_view key, std::string_view name, DWORD type, const std::vector<BYTE>& data) {
    auto value = reg::GetValue(key, name);
    ASSERT_TRUE(value) << key << " " << name;
    EXPECT_EQ(type, value->type) << name;
    EXPECT_EQ(data, value->data) << name;
  }
};

TEST_F(RegFile, Version5ImportsEveryTypeWithWideStringData) {
  // hex(2) and hex(7) carry UTF-16LE in a Version 5 file.
  auto result = reg::ImportRegText(
      "Windows Registry Editor Version 5.00\r\n"
      "\r\n"
      "; the cluster manager\r\n"
      "[HKEY_LOCAL_MACHINE\\SOFTWARE\\Oracle\\osd9i\\CM]\r\n"
      "@=\"default text\"\r\n"
      "\"HostName\"=\"node1\"\r\n"
      "\"Path\"=\"C:\\\\Oracle \\\"9i\\\"\"\r\n"
      "\"Count\"=dword:0000002a\r\n"
      "\"Blob\"=hex:de,ad,BE,ef\r\n"
      "\"Image\"=hex(2):25,00,53,00,52,00,25,00,00,00\r\n"
      "\"PublicNodeNames\"=hex(7):6e,00,31,00,00,00,6e,00,32,00,00,00,00,00\r\n"
      "\"Nothing\"=hex(0):\r\n");
  ASSERT_TRUE(result) << result.message;
  const char* cm = "HKLM\\SOFTWARE\\Oracle\\osd9i\\CM";
  ExpectValue(cm, "", REG_SZ, B(std::string_view("default text\0", 13)));
  ExpectValue(cm, "HostName", REG_SZ, B(std::string_view("node1\0", 6)));
  ExpectValue(cm, "Path", REG_SZ, B(std::string_view("C:\\Oracle \"9i\"\0", 15)));
  ExpectValue(cm, "Count", REG_DWORD, {0x2a, 0, 0, 0});
  ExpectValue(cm, "Blob", REG_BINARY, {0xde, 0xad, 0xbe, 0xef});
  ExpectValue(cm, "Image", REG_EXPAND_SZ, B(std::string_view("%SR%\0", 5)));
  ExpectValue(cm, "PublicNodeNames", REG_MULTI_SZ, B(std::string_view("n1\0n2\0\0", 7)));
  ExpectValue(cm, "Nothing", REG_NONE, {});
  EXPECT_EQ((std::vector<std::string>{"", "HostName", "Path", "Count", "Blob", "Image", "PublicNodeNames", "Nothing"}),
            reg::ValueNames(cm));
}

TEST_F(RegFile, Regedit4ImportsSingleByteStringDataAndContinuations) {
  auto result = reg::ImportRegText(
      "REGEDIT4\n"
      "\n"
      "[HKLM\\SOFTWARE\\Four]\n"
      "\"Image\"=hex(2):25,53,52,25,00\n"
      "\"Multi\"=hex(7):61,00,\\\n"
      "  62,00,\\\n"
      "  00\n"
      "\"Typed\"=hex(b):01,02,03,04,05,06,07,08\n");
  ASSERT_TRUE(result) << result.message;
  ExpectValue("HKLM\\SOFTWARE\\Four", "Image", REG_EXPAND_SZ, B(std::string_view("%SR%\0", 5)));
  ExpectValue("HKLM\\SOFTWARE\\Four", "Multi", REG_MULTI_SZ, B(std::string_view("a\0b\0\0", 5)));
  ExpectValue("HKLM\\SOFTWARE\\Four", "Typed", REG_QWORD, {1, 2, 3, 4, 5, 6, 7, 8});
}

TEST_F(RegFile, DeletionLinesRemoveKeysAndValues) {
  ASSERT_EQ(ERROR_SUCCESS, reg::SetDword("HKLM\\SOFTWARE\\Kestd\\Database\\Nodes\\nodeA", "x", 1));
  ASSERT_EQ(ERROR_SUCCESS, reg::SetDword("HKLM\\SOFTWARE\\Keep", "drop", 1));
  ASSERT_EQ(ERROR_SUCCESS, reg::SetDword("HKLM\\SOFTWARE\\Keep", "stay", 2));
  auto result = reg::ImportRegText(
      "Windows Registry Editor Version 5.00\n"
      "[-HKEY_LOCAL_MACHINE\\SOFTWARE\\Kestd\\Database]\n"
      "[-HKEY_LOCAL_MACHINE\\SOFTWARE\\NeverThere]\n"
      "[HKEY_LOCAL_MACHINE\\SOFTWARE\\Keep]\n"
      "\"drop\"=-\n"
      "\"absent\"=-\n");
  ASSERT_TRUE(result) << result.message;
  EXPECT_FALSE(reg::KeyExists("HKLM\\SOFTWARE\\Kestd\\Database"));
  EXPECT_TRUE(reg::KeyExists("HKLM\\SOFTWARE\\Kestd"));
  EXPECT_EQ(std::vector<std::string>{"stay"}, reg::ValueNames("HKLM\\SOFTWARE\\Keep"));
}

TEST_F(RegFile, ExportWritesRegeditTextAndWrapsLongHexData) {
  ASSERT_EQ(ERROR_SUCCESS, reg::SetString("HKLM\\SOFTWARE\\Out", "Path", "C:\\a \"b\""));
  ASSERT_EQ(ERROR_SUCCESS, reg::SetDword("HKLM\\SOFTWARE\\Out", "", 0x1234abcd));
  ASSERT_EQ(ERROR_SUCCESS, reg::SetExpandString("HKLM\\SOFTWARE\\Out\\Sub", "E", "%A%"));
  ASSERT_EQ(ERROR_SUCCESS, reg::SetBinary("HKLM\\SOFTWARE\\Out\\Sub", "Long", std::vector<BYTE>(30, 0x11)));
  auto text = reg::ExportRegText("HKLM\\SOFTWARE\\Out", reg::RegFormat::Version5);
  ASSERT_TRUE(text);
  std::string bytes22;
  for (int i = 0; i < 22; ++i) bytes22 += "11,";
  EXPECT_EQ(
      "Windows Registry Editor Version 5.00\r\n"
      "\r\n"
      "[HKEY_LOCAL_MACHINE\\SOFTWARE\\Out]\r\n"
      "\"Path\"=\"C:\\\\a \\\"b\\\"\"\r\n"
      "@=dword:1234abcd\r\n"
      "\r\n"
      "[HKEY_LOCAL_MACHINE\\SOFTWARE\\Out\\Sub]\r\n"
      "\"E\"=hex(2):25,00,41,00,25,00,00,00\r\n"
      "\"Long\"=hex:" + bytes22 + "\\\r\n"
      "  11,11,11,11,11,11,11,11\r\n"
      "\r\n",
      *text);
  for (size_t start = 0, end; (end = text->find("\r\n", start)) != std::string::npos; start = end + 2)
    EXPECT_LE(end - start, 80u) << "line starting at " << start;

  auto four = reg::ExportRegText("HKLM\\SOFTWARE\\Out\\Sub", reg::RegFormat::Regedit4);
  ASSERT_TRUE(four);
  EXPECT_NE(std::string::npos, four->find("REGEDIT4\r\n"));
  EXPECT_NE(std::string::npos, four->find("\"E\"=hex(2):25,41,25,00\r\n"));
  EXPECT_FALSE(reg::ExportRegText("HKLM\\SOFTWARE\\Missing"));
}

TEST_F(RegFile, ExportRoundTripsEveryTypeInBothFormats) {
  const char* root = "HKLM\\SOFTWARE\\Trip";
  struct Case {
    const char* name;
    DWORD type;
    std::vector<BYTE> data;
  } cases[] = {
      {"sz", REG_SZ, B(std::string_view("plain \\ \"quoted\"\0", 18))},
      {"sz unterminated", REG_SZ, B("no zero")},
      {"sz with break", REG_SZ, B(std::string_view("two\r\nlines\0", 11))},
      {"expand", REG_EXPAND_SZ, B(std::string_view("%SystemRoot%\\x\0", 15))},
      {"multi", REG_MULTI_SZ, B(std::string_view("node1\0node2\0\0", 13))},
      {"dword", REG_DWORD, {0x78, 0x56, 0x34, 0x12}},
      {"short dword", REG_DWORD, {1, 2}},
      {"binary", REG_BINARY, std::vector<BYTE>(100, 0xA5)},
      {"none", REG_NONE, {}},
      {"latin1", REG_SZ, {0xe9, 0}},
  };
  for (reg::RegFormat format : {reg::RegFormat::Version5, reg::RegFormat::Regedit4}) {
    for (const Case& c : cases) ASSERT_EQ(ERROR_SUCCESS, reg::SetValue(std::string(root) + "\\Sub", c.name, c.type, c.data));
    ASSERT_EQ(ERROR_SUCCESS, reg::CreateKey(std::string(root) + "\\Empty"));
    auto text = reg::ExportRegText(root, format);
    ASSERT_TRUE(text);
    ASSERT_EQ(ERROR_SUCCESS, reg::DeleteKeyTree(root));
    auto result = reg::ImportRegText(*text);
    ASSERT_TRUE(result) << result.message << "\n" << *text;
    EXPECT_TRUE(reg::KeyExists(std::string(root) + "\\Empty"));
    std::vector<std::string> names;
    for (const Case& c : cases) {
      ExpectValue(std::string(root) + "\\Sub", c.name, c.type, c.data);
      names.push_back(c.name);
    }
    EXPECT_EQ(names, reg::ValueNames(std::string(root) + "\\Sub"));
    EXPECT_EQ(*text, *reg::ExportRegText(root, format)) << "a second export is identical";
    ASSERT_EQ(ERROR_SUCCESS, reg::DeleteKeyTree(root));
  }
}

TEST_F(RegFile, MalformedTextNamesItsLineAndChangesNothing) {
  struct Case {
    const char* text;
    unsigned line;
  } cases[] = {
      {"", 1},
      {"\n\nREGEDIT5\n", 3},
      {"REGEDIT4\n[HKLM\\SOFTWARE\\Bad]\n\"v\"=hex:1g\n", 3},
      {"REGEDIT4\n[HKLM\\SOFTWARE\\Bad]\n\"v\"=hex:123\n", 3},
      {"REGEDIT4\n[HKLM\\SOFTWARE\\Bad]\n\"v\"=\"open\n", 3},
      {"REGEDIT4\n[HKLM\\SOFTWARE\\Bad]\n\"v\"=\"a\\tb\"\n", 3},
      {"REGEDIT4\n[HKLM\\SOFTWARE\\Bad]\n\"v\"=dword:123456789\n", 3},
      {"REGEDIT4\n[HKLM\\SOFTWARE\\Bad]\n\"v\"=dword:\n", 3},
      {"REGEDIT4\n[HKLM\\SOFTWARE\\Bad]\n\"v\"=hex(zz):00\n", 3},
      {"REGEDIT4\n[HKLM\\SOFTWARE\\Bad]\n\"v\" dword:1\n", 3},
      {"REGEDIT4\n[HKLM\\SOFTWARE\\Bad]\n\"v\"=\"x\" trailing\n", 3},
      {"REGEDIT4\n[HKLM\\SOFTWARE\\Bad]\n\"v\"=str:\"x\"\n", 3},
      {"REGEDIT4\n\"v\"=dword:1\n", 2},
      {"REGEDIT4\n[HKEY_NOWHERE\\SOFTWARE]\n", 2},
      {"REGEDIT4\n[HKLM\\SOFTWARE\\Bad\n", 2},
      {"REGEDIT4\n[-HKLM]\n", 2},
      {"REGEDIT4\n[-HKLM\\SOFTWARE\\Bad]\n\"v\"=dword:1\n", 3},
      {"REGEDIT4\n[HKLM\\SOFTWARE\\Bad]\n\n\"v\"=hex:01,\\\n  02,\\\n", 4},
      {"REGEDIT4\n[HKLM\\SOFTWARE\\Bad]\njunk\n", 3},
      {"Windows Registry Editor Version 5.00\n[HKLM\\SOFTWARE\\Bad]\n\"v\"=hex(7):41,00,00\n", 3},
      {"Windows Registry Editor Version 5.00\n[HKLM\\SOFTWARE\\Bad]\n\"v\"=hex(1):41,01,00,00\n", 3},
  };
  for (const Case& c : cases) {
    auto result = reg::ImportRegText(c.text);
    EXPECT_FALSE(result) << c.text;
    EXPECT_EQ(c.line, result.line) << c.text << " -> " << result.message;
    EXPECT_EQ(0u, result.message.rfind("line " + std::to_string(c.line) + ": ", 0)) << result.message;
    EXPECT_FALSE(reg::KeyExists("HKLM\\SOFTWARE\\Bad")) << c.text;
  }

  // A good line before a bad one is not applied either.
  ASSERT_EQ(ERROR_SUCCESS, reg::SetDword("HKLM\\SOFTWARE\\Kept", "v", 1));
  auto result = reg::ImportRegText("REGEDIT4\n[-HKLM\\SOFTWARE\\Kept]\n[HKLM\\SOFTWARE\\New]\n\"x\"=nonsense\n");
  EXPECT_FALSE(result);
  EXPECT_TRUE(reg::KeyExists("HKLM\\SOFTWARE\\Kept"));
  EXPECT_FALSE(reg::KeyExists("HKLM\\SOFTWARE\\New"));
}

TEST_F(RegFile, ImportWorksOnTheNamedMachine) {
  velplat::Machine& node = velplat::World::Get().Add("NODE2");
  auto result = reg::ImportRegText("REGEDIT4\n[HKEY_LOCAL_MACHINE\\SOFTWARE\\Remote]\n\"a\"=\"b\"\n", &node);
  ASSERT_TRUE(result) << result.message;
  EXPECT_TRUE(reg::KeyExists("HKLM\\SOFTWARE\\Remote", &node));
  EXPECT_FALSE(reg::KeyExists("HKLM\\SOFTWARE\\Remote"));
}

}  // namespace
