// The status window: built from dialog 1000 with its two controls, created
// only when first shown, shown again without a second window, text replaced
// in the label, and closed with the object that owns it.
#include "setup/resource.h"
#include "setup/status_dialog.h"
#include "setup/support/setup_fixture.h"

#include <velplat/ui.h>

namespace velsetup::test {
namespace {

namespace ui = velplat::ui;
using ::testing::ElementsAre;

class StatusDialog : public SetupTest {};

TEST_F(StatusDialog, WindowIsThePopupOfDialog1000WithALabelAndAHiddenProgressBar) {
  CStatusDialog dialog;
  dialog.ShowStatusWindow(nullptr);
  dialog.SetStatusText("Stopping service: SNMP...");
  ASSERT_NE(nullptr, dialog.m_hWnd);

  auto window = ui::Window(dialog.m_hWnd);
  ASSERT_TRUE(window);
  EXPECT_EQ(IDD_STATUS_DIALOG, window->resourceId);
  EXPECT_EQ(nullptr, window->parent);
  EXPECT_TRUE(window->visible);
  const DWORD wanted = WS_POPUP | WS_VISIBLE | DS_SYSMODAL | DS_CENTER | DS_SETFOREGROUND | DS_MODALFRAME;
  EXPECT_EQ(wanted, window->style & wanted);
  EXPECT_EQ(0u, window->style & (WS_CAPTION | WS_SYSMENU)) << "borderless, no caption, no system menu";
  EXPECT_EQ(256, window->cx);
  EXPECT_EQ(26, window->cy);

  auto label = ui::Window(GetDlgItem(dialog.m_hWnd, IDC_STATUS_TEXT));
  ASSERT_TRUE(label);
  EXPECT_EQ(dialog.m_statusLabel, label->handle);
  EXPECT_EQ("STATIC", label->className);
  EXPECT_EQ("Stopping service: SNMP...", label->text);
  EXPECT_TRUE(label->visible);
  EXPECT_EQ(static_cast<DWORD>(SS_CENTER), label->style & SS_CENTER);

  auto progress = ui::Window(GetDlgItem(dialog.m_hWnd, IDC_STATUS_PROGRESS));
  ASSERT_TRUE(progress);
  EXPECT_EQ(dialog.m_progress, progress->handle);
  EXPECT_EQ("msctls_progress32", progress->className);
  EXPECT_FALSE(progress->visible);
}

TEST_F(StatusDialog, ShowingTwiceKeepsOneWindowAndTheTextIsReplaced) {
  CStatusDialog dialog;
  dialog.ShowStatusWindow(nullptr);
  dialog.SetStatusText("first");
  HWND first = dialog.m_hWnd;
  dialog.ShowStatusWindow(nullptr);
  dialog.SetStatusText("second");

  EXPECT_EQ(first, dialog.m_hWnd);
  EXPECT_EQ(1u, ui::Dialogs().size());
  EXPECT_EQ("second", ui::Window(GetDlgItem(first, IDC_STATUS_TEXT))->text);
  EXPECT_THAT(StatusTexts(), ElementsAre("first", "second"));
  size_t created = 0;
  for (const auto& event : ui::Events()) created += event.kind == ui::EventKind::Created;
  EXPECT_EQ(1u, created);

  // A window closed behind the object's back is made again on the next show.
  DestroyWindow(first);
  EXPECT_EQ(nullptr, dialog.m_hWnd);
  dialog.ShowStatusWindow(nullptr);
  EXPECT_NE(nullptr, dialog.m_hWnd);
  EXPECT_EQ("status...", ui::Window(GetDlgItem(dialog.m_hWnd, IDC_STATUS_TEXT))->text);
}

TEST_F(StatusDialog, NeverShownMeansNoWindowAndTheOwnerClosesAShownOne) {
  {
    CStatusDialog quiet;
    quiet.SetStatusText("not shown anywhere");
    EXPECT_EQ(nullptr, quiet.m_hWnd);
  }
  EXPECT_TRUE(ui::Events().empty());

  HWND shown = nullptr;
  {
    CStatusDialog dialog;
    dialog.ShowStatusWindow(nullptr);
    shown = dialog.m_hWnd;
    ASSERT_TRUE(ui::Window(shown));
  }
  EXPECT_FALSE(ui::Window(shown));
  EXPECT_TRUE(ui::Dialogs().empty());
}

}  // namespace
}  // namespace velsetup::test
