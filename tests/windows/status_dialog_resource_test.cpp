// The status window's dialog as velsetup.rc compiles it into _velsetup.dll,
// read back out of the built DLL and compared with the description that the
// platform layer's form is registered from (setup/status_dialog_layout.h):
// the two forms of the dialog cannot drift apart unnoticed.
#include "setup/status_dialog_layout.h"
#include "support/dialog_template.h"

#include <windows.h>

#include <gtest/gtest.h>

#include <cctype>
#include <ios>
#include <string>

namespace {

std::string Upper(std::string text) {
  for (char& c : text) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
  return text;
}

TEST(StatusDialogResource, DialogInTheBuiltDllMatchesTheDescriptionFieldByField) {
  const velsetup::DialogLayout& layout = velsetup::kStatusDialogLayout;
  HMODULE dll = LoadLibraryExA("_velsetup.dll", nullptr, LOAD_LIBRARY_AS_DATAFILE);
  ASSERT_NE(nullptr, dll) << "error " << GetLastError();
  HRSRC found = FindResourceExA(dll, MAKEINTRESOURCEA(5) /* RT_DIALOG */, MAKEINTRESOURCEA(layout.id), layout.language);
  ASSERT_NE(nullptr, found) << "no dialog " << layout.id << " in language " << layout.language;
  HGLOBAL loaded = LoadResource(dll, found);
  ASSERT_NE(nullptr, loaded);
  std::string error;
  auto dialog = wintest::ReadDialogTemplate(LockResource(loaded), SizeofResource(dll, found), &error);
  ASSERT_TRUE(dialog) << error;

  EXPECT_EQ(layout.style, dialog->style) << std::hex << "wanted 0x" << layout.style << ", built 0x" << dialog->style;
  EXPECT_EQ(layout.exStyle, dialog->exStyle);
  EXPECT_EQ(layout.x, dialog->x);
  EXPECT_EQ(layout.y, dialog->y);
  EXPECT_EQ(layout.cx, dialog->cx);
  EXPECT_EQ(layout.cy, dialog->cy);
  EXPECT_EQ("", dialog->menu);
  EXPECT_EQ("", dialog->className) << "the system's dialog class";
  EXPECT_EQ(layout.caption, dialog->caption);
  EXPECT_EQ(layout.fontPoints, dialog->fontPoints);
  EXPECT_EQ(layout.fontName, dialog->fontName);

  ASSERT_EQ(layout.controls.size(), dialog->controls.size());
  for (size_t i = 0; i < layout.controls.size(); ++i) {
    const velsetup::ControlLayout& wanted = layout.controls[i];
    const wintest::TemplateControl& built = dialog->controls[i];
    SCOPED_TRACE("control " + std::to_string(wanted.id));
    EXPECT_EQ(static_cast<DWORD>(wanted.id), built.id);
    EXPECT_EQ(Upper(wanted.className), Upper(built.className));
    EXPECT_EQ(wanted.text, built.text);
    EXPECT_EQ(wanted.style, built.style) << std::hex << "wanted 0x" << wanted.style << ", built 0x" << built.style;
    EXPECT_EQ(0u, built.exStyle);
    EXPECT_EQ(wanted.x, built.x);
    EXPECT_EQ(wanted.y, built.y);
    EXPECT_EQ(wanted.cx, built.cx);
    EXPECT_EQ(wanted.cy, built.cy);
  }
  FreeLibrary(dll);
}

}  // namespace
