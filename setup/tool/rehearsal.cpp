// Running a rehearsal and printing it.
#include "setup/tool/rehearsal.h"

#include "setup/tool/clock_driver.h"
#include "setup/tool/journal_printer.h"
#include "setup/tool/world_setup.h"

#include <velplat/clock.h>
#include <velplat/files.h>
#include <velplat/installer.h>
#include <velplat/services.h>
#include <velplat/ui.h>

#include <sstream>

namespace velsetup::tool {
namespace {

const char* StateName(DWORD state) {
  switch (state) {
    case SERVICE_STOPPED:
      return "stopped";
    case SERVICE_START_PENDING:
      return "start pending";
    case SERVICE_STOP_PENDING:
      return "stop pending";
    case SERVICE_RUNNING:
      return "running";
    case SERVICE_PAUSED:
      return "paused";
    default:
      return "pending";
  }
}

void PrintServices(std::ostream& out) {
  for (const std::string& name : velplat::services::Names()) {
    auto service = velplat::services::Get(name);
    if (!service) continue;
    out << "  " << name;
    if (!service->config.displayName.empty()) out << " (" << service->config.displayName << ")";
    out << ": " << StateName(service->status.dwCurrentState) << "\n";
  }
}

void PrintLog(std::ostream& out) {
  std::string path = SetupLogPath();
  auto contents = velplat::files::FileContents(path);
  out << "setup log " << path;
  if (!contents) {
    out << ": missing\n";
    return;
  }
  out << " (" << contents->size() << " bytes)\n";
  std::istringstream lines(*contents);
  for (std::string line; std::getline(lines, line);) out << "  | " << Visible(line) << "\n";
}

// Runs one action; true when it counts as a success.
bool RunAction(const Action& action, const ExportsTable& exports, MSIHANDLE handle, std::ostream& out) {
  UINT result = 0;
  std::string versionText;
  RunOnVirtualClock([&] {
    if (action.name == "StopSNMP") {
      result = exports.stopSnmp(handle);
    } else if (action.name == "StartSNMP") {
      result = exports.startSnmp(handle);
    } else if (action.name == "CreateRACUser") {
      result = exports.createRacUser(handle);
    } else if (action.name == "DeleteRACUser") {
      result = exports.deleteRacUser(handle);
    } else if (action.name == "IsServicePresent") {
      result = exports.isServicePresent(action.argument.c_str());
    } else {
      char buffer[512] = "";
      result = exports.getProductVersion(buffer, action.argument.c_str());
      versionText = buffer;
    }
  });
  out << action.name << " returned " << result;
  if (action.name == "GetProductVersion") out << ", version \"" << versionText << "\"";
  out << "\n";
  return action.name == "IsServicePresent" || result == 0;
}

}  // namespace

int Rehearse(const Options& options, const ExportsTable& exports, std::ostream& out) {
  velplat::clock::VirtualTimeScope virtualTime;
  BuildWorld(options);
  velplat::installer::Session session(options.properties);
  const MSIHANDLE handle = options.noHandle ? 0 : session.handle();

  out << "services before:\n";
  PrintServices(out);
  JournalPrinter journal(out);
  bool allSucceeded = true;
  for (const Action& action : options.actions) {
    out << "\n" << action.name;
    if (action.name == "IsServicePresent" || action.name == "GetProductVersion")
      out << " " << action.argument;
    else
      out << " (installer handle " << handle << ")";
    out << " at" << Stamp(velplat::clock::NowMs()) << "\n";
    std::ostringstream result;
    allSucceeded = RunAction(action, exports, handle, result) && allSucceeded;
    journal.PrintNew();
    out << result.str();
  }
  out << "\nservices after:\n";
  PrintServices(out);
  PrintLog(out);
  return allSucceeded ? 0 : 1;
}

}  // namespace velsetup::tool
