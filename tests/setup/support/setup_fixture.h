// Test helpers for the installer library: a fresh world on the virtual clock
// with the product's setup log in place, services defined in one line, the
// library run on the driven clock, and what it showed and wrote read back.
#ifndef VELMON_TESTS_SETUP_SETUP_FIXTURE_H
#define VELMON_TESTS_SETUP_SETUP_FIXTURE_H

#include <velplat/clock.h>
#include <velplat/services.h>
#include <velplat/ui.h>

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

namespace velsetup::test {

inline constexpr char kLogPath[] = "C:\\WINNT\\vlmsystem\\log\\vlmsetup.log";

class SetupTest : public ::testing::Test {
 protected:
  void SetUp() override;
  void TearDown() override;

  // Defines a service of the local machine; its display name is
  // "<name> display".
  static void Service(const std::string& name, DWORD state, std::vector<std::string> dependencies = {},
                      unsigned startMs = 0, unsigned stopMs = 0);

  // Runs `body` on a thread of its own, moving the virtual clock whenever it
  // waits.
  static void Driven(const std::function<void()>& body);

  // The setup log's bytes ("<missing>" when there is none).
  static std::string Log();
  // The texts the status windows' labels received, in order.
  static std::vector<std::string> StatusTexts();
  // Captions and texts of the message boxes, in order.
  static std::vector<std::string> BoxCaptions();
  static std::vector<std::string> BoxTexts();
  // "start X" / "stop X" for every request the service control manager
  // accepted.
  static std::vector<std::string> Requests();
  static DWORD State(const std::string& service);

 private:
  velplat::clock::VirtualTimeScope virtualTime_;
};

}  // namespace velsetup::test

#endif
