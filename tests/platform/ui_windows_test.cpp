// The unattended desktop: message boxes answered with their default button,
// modeless dialogs built from registered resources with their controls,
// the dialog procedure's two messages, text, visibility, enabling and
// destruction of windows, and the journal that records all of it in order.
#include <windows.h>

#include <velplat/faults.h>
#include <velplat/ui.h>
#include <velplat/world.h>

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

namespace ui = velplat::ui;
using ui::EventKind;

constexpr WORD kDialog = 300;
constexpr int kLabel = 301;
constexpr int kGauge = 302;

ui::DialogResource SampleDialog(DWORD style = WS_POPUP | WS_VISIBLE | DS_CENTER) {
  ui::DialogResource dialog;
  dialog.id = kDialog;
  dialog.style = style;
  dialog.cx = 200;
  dialog.cy = 40;
  dialog.controls.push_back({kLabel, "STATIC", "initial", WS_VISIBLE | SS_CENTER, 5, 5, 190, 12});
  dialog.controls.push_back({kGauge, "msctls_progress32", "gauge", WS_BORDER, 5, 20, 190, 12});
  return dialog;
}

std::vector<EventKind> Kinds(const std::vector<ui::Event>& events) {
  std::vector<EventKind> kinds;
  for (const auto& e : events) kinds.push_back(e.kind);
  return kinds;
}

// Records the messages a dialog procedure receives; sets the label on
// WM_INITDIALOG to show that the procedure may call back in.
struct ProcedureLog {
  static inline std::vector<std::pair<UINT, LPARAM>> messages;
  static INT_PTR CALLBACK Procedure(HWND dialog, UINT message, WPARAM, LPARAM param) {
    messages.emplace_back(message, param);
    if (message == WM_INITDIALOG) SetDlgItemTextA(dialog, kLabel, "from init");
    if (message == WM_DESTROY) {
      EXPECT_TRUE(ui::Window(dialog).has_value()) << "gone before WM_DESTROY";
    }
    return TRUE;
  }
};

class UiWindows : public ::testing::Test {
 protected:
  void SetUp() override {
    velplat::World::Get().Reset();
    velplat::faults::Clear();
    ProcedureLog::messages.clear();
    module_ = ui::RegisterDialogs("sample.dll", {SampleDialog()});
  }
  void TearDown() override { velplat::faults::Clear(); }
  HINSTANCE module_ = nullptr;
};

TEST_F(UiWindows, MessageBoxesAreRecordedAndAnsweredWithTheirDefaultButton) {
  EXPECT_EQ(IDOK, MessageBoxA(nullptr, "line", "Error", MB_OK | MB_ICONERROR));
  EXPECT_EQ(IDNO, MessageBoxA(nullptr, "ask", "Question", MB_YESNO | MB_DEFBUTTON2));
  EXPECT_EQ(IDYES, MessageBoxA(nullptr, "ask", nullptr, MB_YESNO | MB_DEFBUTTON3));  // beyond the set: first
  EXPECT_EQ(0, MessageBoxA(nullptr, "bad", "Bad", 0x7));
  EXPECT_EQ(static_cast<DWORD>(ERROR_INVALID_PARAMETER), GetLastError());
  EXPECT_EQ(0, MessageBoxA(reinterpret_cast<HWND>(0x4444), "orphan", "Owner", MB_OK));
  EXPECT_EQ(static_cast<DWORD>(ERROR_INVALID_WINDOW_HANDLE), GetLastError());

  auto boxes = ui::MessageBoxes();
  ASSERT_EQ(3u, boxes.size());
  EXPECT_EQ("line", boxes[0].text);
  EXPECT_EQ("Error", boxes[0].caption);
  EXPECT_EQ(static_cast<UINT>(MB_OK | MB_ICONERROR), boxes[0].type);
  EXPECT_EQ(IDOK, boxes[0].answer);
  EXPECT_EQ(IDNO, boxes[1].answer);
  EXPECT_EQ("Error", boxes[2].caption) << "a null caption reads Error";
}

TEST_F(UiWindows, DialogIsBuiltFromItsResourceAndShownAfterInitialisation) {
  HWND dialog = CreateDialogParamA(module_, MAKEINTRESOURCEA(kDialog), nullptr, ProcedureLog::Procedure, 77);
  ASSERT_NE(nullptr, dialog);

  ASSERT_EQ(1u, ProcedureLog::messages.size());
  EXPECT_EQ(static_cast<UINT>(WM_INITDIALOG), ProcedureLog::messages[0].first);
  EXPECT_EQ(77, ProcedureLog::messages[0].second);

  auto state = ui::Window(dialog);
  ASSERT_TRUE(state);
  EXPECT_EQ(kDialog, state->resourceId);
  EXPECT_TRUE(state->visible);
  ASSERT_EQ(2u, state->children.size());

  HWND label = GetDlgItem(dialog, kLabel);
  HWND gauge = GetDlgItem(dialog, kGauge);
  EXPECT_EQ(state->children[0], label);
  EXPECT_EQ(state->children[1], gauge);
  EXPECT_EQ("from init", ui::Window(label)->text);
  EXPECT_EQ("STATIC", ui::Window(label)->className);
  EXPECT_TRUE(ui::Window(label)->visible);
  EXPECT_FALSE(ui::Window(gauge)->visible);
  EXPECT_EQ("gauge", ui::Window(gauge)->text);
  EXPECT_EQ(190, ui::Window(gauge)->cx);

  // The procedure's text comes before the dialog appears.
  auto events = ui::Events();
  EXPECT_EQ((std::vector<EventKind>{EventKind::Created, EventKind::TextSet, EventKind::Shown}), Kinds(events));
  EXPECT_EQ(kDialog, events[0].resourceId);
  EXPECT_EQ(dialog, events[1].window);
  EXPECT_EQ(kLabel, events[1].controlId);

  // A dialog without WS_VISIBLE stays hidden, and a "#id" name finds it too.
  ui::RegisterDialogs("SAMPLE.DLL", {SampleDialog(WS_POPUP)});
  HWND hidden = CreateDialogParamA(module_, "#300", nullptr, nullptr, 0);
  ASSERT_NE(nullptr, hidden);
  EXPECT_FALSE(ui::Window(hidden)->visible);
  EXPECT_EQ("initial", ui::Window(GetDlgItem(hidden, kLabel))->text);
  EXPECT_EQ((std::vector<HWND>{dialog, hidden}), ui::Dialogs());
}

TEST_F(UiWindows, DialogCreationFailsForUnknownResourcesAndParents) {
  EXPECT_EQ(nullptr, CreateDialogParamA(module_, MAKEINTRESOURCEA(999), nullptr, nullptr, 0));
  EXPECT_EQ(static_cast<DWORD>(ERROR_RESOURCE_NAME_NOT_FOUND), GetLastError());
  EXPECT_EQ(nullptr, CreateDialogParamA(module_, "byname", nullptr, nullptr, 0));
  EXPECT_EQ(static_cast<DWORD>(ERROR_RESOURCE_NAME_NOT_FOUND), GetLastError());
  int notAModule = 0;
  EXPECT_EQ(nullptr, CreateDialogParamA(reinterpret_cast<HINSTANCE>(&notAModule), MAKEINTRESOURCEA(kDialog),
                                        nullptr, nullptr, 0));
  EXPECT_EQ(static_cast<DWORD>(ERROR_RESOURCE_DATA_NOT_FOUND), GetLastError());
  EXPECT_EQ(nullptr, CreateDialogParamA(module_, MAKEINTRESOURCEA(kDialog), reinterpret_cast<HWND>(0x4444), nullptr, 0));
  EXPECT_EQ(static_cast<DWORD>(ERROR_INVALID_WINDOW_HANDLE), GetLastError());
  EXPECT_TRUE(ui::Dialogs().empty());
  EXPECT_TRUE(ui::Events().empty());
}

TEST_F(UiWindows, TextVisibilityAndEnablingChangeAndReportThePreviousState) {
  HWND dialog = CreateDialogParamA(module_, MAKEINTRESOURCEA(kDialog), nullptr, nullptr, 0);
  ASSERT_NE(nullptr, dialog);
  ui::ClearEvents();

  EXPECT_TRUE(SetDlgItemTextA(dialog, kLabel, "Stopping..."));
  EXPECT_EQ("Stopping...", ui::Window(GetDlgItem(dialog, kLabel))->text);
  EXPECT_FALSE(SetDlgItemTextA(dialog, 999, "x"));
  EXPECT_EQ(static_cast<DWORD>(ERROR_CONTROL_ID_NOT_FOUND), GetLastError());

  EXPECT_TRUE(ShowWindow(dialog, SW_SHOW)) << "was visible";
  EXPECT_TRUE(ShowWindow(dialog, SW_HIDE));
  EXPECT_FALSE(ShowWindow(dialog, SW_SHOW)) << "was hidden";
  EXPECT_FALSE(EnableWindow(dialog, FALSE)) << "was enabled";
  EXPECT_FALSE(ui::Window(dialog)->enabled);
  EXPECT_TRUE(EnableWindow(dialog, TRUE)) << "was disabled";
  EXPECT_FALSE(ShowWindow(GetDlgItem(dialog, kGauge), SW_SHOW));

  auto events = ui::Events();
  EXPECT_EQ((std::vector<EventKind>{EventKind::TextSet, EventKind::Shown, EventKind::Hidden, EventKind::Shown,
                                    EventKind::Disabled, EventKind::Enabled, EventKind::Shown}),
            Kinds(events));
  EXPECT_EQ("Stopping...", events[0].text);
  EXPECT_EQ(SW_SHOW, events[1].showCommand);
  EXPECT_EQ(dialog, events[6].window);
  EXPECT_EQ(kGauge, events[6].controlId);
}

TEST_F(UiWindows, DestroyingADialogTakesItsControlsAndOwnedDialogsAlong) {
  HWND outer = CreateDialogParamA(module_, MAKEINTRESOURCEA(kDialog), nullptr, ProcedureLog::Procedure, 1);
  HWND owned = CreateDialogParamA(module_, MAKEINTRESOURCEA(kDialog), outer, ProcedureLog::Procedure, 2);
  HWND other = CreateDialogParamA(module_, MAKEINTRESOURCEA(kDialog), nullptr, nullptr, 0);
  ASSERT_TRUE(outer && owned && other);
  HWND label = GetDlgItem(outer, kLabel);
  ProcedureLog::messages.clear();
  ui::ClearEvents();

  ASSERT_TRUE(DestroyWindow(outer));
  EXPECT_EQ(2u, ProcedureLog::messages.size());
  for (const auto& [message, param] : ProcedureLog::messages) EXPECT_EQ(static_cast<UINT>(WM_DESTROY), message);
  EXPECT_FALSE(ui::Window(outer));
  EXPECT_FALSE(ui::Window(owned));
  EXPECT_FALSE(ui::Window(label));
  EXPECT_EQ((std::vector<HWND>{other}), ui::Dialogs());

  auto events = ui::Events();
  ASSERT_EQ((std::vector<EventKind>{EventKind::Destroyed, EventKind::Destroyed}), Kinds(events));
  EXPECT_EQ(owned, events[0].window);
  EXPECT_EQ(outer, events[1].window);

  // The handles are dead for every call.
  EXPECT_FALSE(DestroyWindow(outer));
  EXPECT_EQ(static_cast<DWORD>(ERROR_INVALID_WINDOW_HANDLE), GetLastError());
  EXPECT_FALSE(SetDlgItemTextA(outer, kLabel, "late"));
  EXPECT_EQ(static_cast<DWORD>(ERROR_INVALID_WINDOW_HANDLE), GetLastError());
  EXPECT_FALSE(ShowWindow(label, SW_SHOW));
  EXPECT_EQ(nullptr, GetDlgItem(outer, kLabel));

  // A control destroyed alone leaves its dialog.
  HWND gauge = GetDlgItem(other, kGauge);
  ASSERT_TRUE(DestroyWindow(gauge));
  EXPECT_EQ(1u, ui::Window(other)->children.size());
  EXPECT_EQ(nullptr, GetDlgItem(other, kGauge));
}

TEST_F(UiWindows, TheDesktopBelongsToTheLocalMachine) {
  HWND dialog = CreateDialogParamA(module_, MAKEINTRESOURCEA(kDialog), nullptr, nullptr, 0);
  MessageBoxA(nullptr, "text", "caption", MB_OK);
  ASSERT_FALSE(ui::Events().empty());
  velplat::World::Get().Reset();
  EXPECT_TRUE(ui::Events().empty());
  EXPECT_FALSE(ui::Window(dialog));
  // Resources belong to the module, not to the world.
  EXPECT_NE(nullptr, CreateDialogParamA(module_, MAKEINTRESOURCEA(kDialog), nullptr, nullptr, 0));
}

}  // namespace
