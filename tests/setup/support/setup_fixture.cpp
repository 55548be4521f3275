// Test helpers for the installer library.
#include "setup/support/setup_fixture.h"

#include "setup/resource.h"
#include "setup/silent_mode.h"
#include "setup/tool/clock_driver.h"

#include <velplat/faults.h>
#include <velplat/files.h>
#include <velplat/world.h>

namespace velsetup::test {

void SetupTest::SetUp() {
  velplat::World::Get().Reset();
  velplat::faults::Clear();
  SilentMode = 0;
  ASSERT_EQ(static_cast<DWORD>(ERROR_SUCCESS), velplat::files::PutFile(kLogPath, ""));
}

void SetupTest::TearDown() { velplat::faults::Clear(); }

void SetupTest::Service(const std::string& name, DWORD state, std::vector<std::string> dependencies, unsigned startMs,
                        unsigned stopMs) {
  velplat::services::ServiceConfig config;
  config.name = name;
  config.displayName = name + " display";
  config.dependencies = std::move(dependencies);
  config.initialState = state;
  config.startTime = std::chrono::milliseconds(startMs);
  config.stopTime = std::chrono::milliseconds(stopMs);
  velplat::services::Define(config);
}

void SetupTest::Driven(const std::function<void()>& body) { tool::RunOnVirtualClock(body); }

std::string SetupTest::Log() { return velplat::files::FileContents(kLogPath).value_or("<missing>"); }

std::vector<std::string> SetupTest::StatusTexts() {
  std::vector<std::string> texts;
  for (const auto& event : velplat::ui::Events())
    if (event.kind == velplat::ui::EventKind::TextSet && event.controlId == IDC_STATUS_TEXT)
      texts.push_back(event.text);
  return texts;
}

std::vector<std::string> SetupTest::BoxCaptions() {
  std::vector<std::string> captions;
  for (const auto& box : velplat::ui::MessageBoxes()) captions.push_back(box.caption);
  return captions;
}

std::vector<std::string> SetupTest::BoxTexts() {
  std::vector<std::string> texts;
  for (const auto& box : velplat::ui::MessageBoxes()) texts.push_back(box.text);
  return texts;
}

std::vector<std::string> SetupTest::Requests() {
  std::vector<std::string> out;
  for (const auto& request : velplat::services::Requests())
    out.push_back((request.kind == velplat::services::RequestKind::Stop ? "stop " : "start ") + request.service);
  return out;
}

DWORD SetupTest::State(const std::string& service) {
  auto snapshot = velplat::services::Get(service);
  return snapshot ? snapshot->status.dwCurrentState : 0;
}

}  // namespace velsetup::test
