// Setup error reporting: the exact report line in the log and in the "Error"
// box, silent installations, lines appended after other writers' lines,
// long lines cut at 1,023 characters, and a log that is missing (created) or
// cannot be opened ("LogFile Error", and the installer goes on).
#include "setup/setup_error.h"
#include "setup/silent_mode.h"
#include "setup/support/setup_fixture.h"

#include <velplat/files.h>
#include <velplat/ui.h>
#include <velplat/world.h>
#include <winapi/files.h>

#include <string>

namespace velsetup::test {
namespace {

using ::testing::ElementsAre;

class SetupLog : public SetupTest {};

constexpr char kAccessDeniedLine[] = "Failed: Stop(). Error code: 5    message:  Access is denied.\r\n.";

TEST_F(SetupLog, ReportWritesTheLineWithTheSystemTextAndShowsItInAnErrorBox) {
  ReportSetupError("Stop()", ERROR_ACCESS_DENIED);

  EXPECT_EQ(std::string(kAccessDeniedLine) + "\r\n", Log());
  auto boxes = velplat::ui::MessageBoxes();
  ASSERT_EQ(1u, boxes.size());
  EXPECT_EQ("Error", boxes[0].caption);
  EXPECT_EQ(kAccessDeniedLine, boxes[0].text);
  EXPECT_EQ(static_cast<UINT>(MB_OK | MB_ICONERROR), boxes[0].type);
  EXPECT_EQ(nullptr, boxes[0].owner);
}

TEST_F(SetupLog, SilentReportWritesTheSameLineWithoutAnyBox) {
  SilentMode = 1;
  ReportSetupError("Stop()", ERROR_ACCESS_DENIED);
  EXPECT_EQ(std::string(kAccessDeniedLine) + "\r\n", Log());
  EXPECT_TRUE(velplat::ui::Events().empty());
}

TEST_F(SetupLog, ReportsAppendAfterEverythingElseInTheLog) {
  ASSERT_EQ(static_cast<DWORD>(ERROR_SUCCESS), velplat::files::PutFile(kLogPath, "earlier step\r\n"));
  // Another setup step holds the log open, sharing it, and writes between
  // the two reports.
  HANDLE other = CreateFileA(kLogPath, GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING,
                             FILE_ATTRIBUTE_NORMAL, nullptr);
  ASSERT_NE(INVALID_HANDLE_VALUE, other);

  ReportSetupError("Start()", ERROR_SERVICE_ALREADY_RUNNING);
  SetFilePointer(other, 0, nullptr, FILE_END);
  DWORD written = 0;
  ASSERT_TRUE(WriteFile(other, "other step\r\n", 12, &written, nullptr));
  ReportSetupError("StopDependents()", ERROR_TIMEOUT);
  CloseHandle(other);

  EXPECT_EQ(
      "earlier step\r\n"
      "Failed: Start(). Error code: 1056    message:  An instance of the service is already running.\r\n.\r\n"
      "other step\r\n"
      "Failed: StopDependents(). Error code: 1460    message:  This operation returned because the timeout period "
      "expired.\r\n.\r\n",
      Log());
  EXPECT_EQ(2u, velplat::ui::MessageBoxes().size());
}

TEST_F(SetupLog, CodeWithoutSystemTextAndOverlongOperationStillGiveABoundedLine) {
  ReportSetupError("Cannot Create 'RACUSER' Account.", 2245);
  EXPECT_EQ("Failed: Cannot Create 'RACUSER' Account.. Error code: 2245    message:  Unknown error.\r\n", Log());

  velplat::files::PutFile(kLogPath, "");
  std::string operation(2000, 'x');
  ReportSetupError(operation.c_str(), ERROR_ACCESS_DENIED);
  std::string expected = ("Failed: " + operation).substr(0, 1023) + "\r\n";
  EXPECT_EQ(expected, Log());
  EXPECT_EQ(1023u, velplat::ui::MessageBoxes().back().text.size());
}

TEST_F(SetupLog, MissingLogAndFoldersAreCreated) {
  ASSERT_EQ(static_cast<DWORD>(ERROR_SUCCESS), velplat::files::RemoveFile(kLogPath));
  ReportSetupError("Stop()", ERROR_ACCESS_DENIED);
  EXPECT_EQ(std::string(kAccessDeniedLine) + "\r\n", Log());

  velplat::World::Get().Reset();  // no vlmsystem folder at all
  velplat::ui::ClearEvents();
  ReportSetupError("Stop()", ERROR_ACCESS_DENIED);
  EXPECT_EQ(std::string(kAccessDeniedLine) + "\r\n", Log());
  EXPECT_THAT(BoxCaptions(), ElementsAre("Error"));
}

TEST_F(SetupLog, LogThatCannotBeOpenedIsShownAsLogFileErrorAndTheInstallerGoesOn) {
  // A writer that shares nothing keeps everyone else out.
  HANDLE exclusive =
      CreateFileA(kLogPath, GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
  ASSERT_NE(INVALID_HANDLE_VALUE, exclusive);
  ReportSetupError("Stop()", ERROR_ACCESS_DENIED);
  EXPECT_THAT(BoxCaptions(), ElementsAre("Error", "LogFile Error"));
  auto texts = BoxTexts();
  EXPECT_EQ(std::string(kLogPath) +
                "\r\nThe process cannot access the file because it is being used by another process.\r\n",
            texts[1]);

  SilentMode = 1;
  velplat::ui::ClearEvents();
  ReportSetupError("Stop()", ERROR_ACCESS_DENIED);
  EXPECT_TRUE(velplat::ui::Events().empty());
  CloseHandle(exclusive);
  EXPECT_EQ("", Log()) << "both lines were lost, nothing else happened";

  // A folder where the log should be cannot be opened as a file either.
  SilentMode = 0;
  velplat::files::RemoveFile(kLogPath);
  velplat::files::MakeDirectories(kLogPath);
  ReportSetupError("Start()", ERROR_ACCESS_DENIED);
  EXPECT_THAT(BoxCaptions(), ElementsAre("Error", "LogFile Error"));
}

}  // namespace
}  // namespace velsetup::test
