// A stand-in for a Windows service and the tool that manages it, used by
// the installer package test (msi_package_test.sh). One program, so that
// the test needs few Wine start-ups (Wine 8's sc.exe cannot query a state):
//
//   service_stand_in.exe install <name> <record file>
//       creates the service <name> (demand start) whose program is this one
//       with "serve <name> <record file>"
//   service_stand_in.exe serve <name> <record file>
//       run by the service control manager: serves as <name> until told to
//       stop, appending one line per event to the record file: "start" when
//       the manager runs it, "stop" on the stop control, "control <n>" for
//       any other control except interrogation (refused)
//   service_stand_in.exe start <name>     starts it and waits until it runs
//   service_stand_in.exe state <name>     prints RUNNING, STOPPED, ... or ABSENT
//                                         (fails when the manager cannot tell)
//   service_stand_in.exe remove <name>    stops it (waiting) and deletes it
//
// Waits are bounded (start: 90 s, retrying while Wine's manager refuses or
// times out early starts on a fresh prefix; stop: 20 s). Exit code 0 on
// success, 1 on failure (with the reason on stderr), 2 on bad usage.
#include "support/service_status.h"

#include <windows.h>

#include <cstdio>
#include <cstring>
#include <string>

namespace {

// ----- The service side -----

SERVICE_STATUS_HANDLE ServiceHandle = nullptr;
HANDLE StopRequested = nullptr;
std::string ServiceName;
std::string RecordFile;

void Record(const std::string& line) {
  HANDLE file = CreateFileA(RecordFile.c_str(), FILE_APPEND_DATA, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                            OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file == INVALID_HANDLE_VALUE) return;
  std::string text = line + "\r\n";
  DWORD written = 0;
  WriteFile(file, text.data(), static_cast<DWORD>(text.size()), &written, nullptr);
  CloseHandle(file);
}

void Report(DWORD state, DWORD waitHint = 0) { wintest::ReportServiceState(ServiceHandle, state, waitHint); }

DWORD WINAPI Handler(DWORD control, DWORD, void*, void*) {
  if (control == SERVICE_CONTROL_INTERROGATE) return NO_ERROR;
  if (control != SERVICE_CONTROL_STOP) {
    Record("control " + std::to_string(control));
    return ERROR_CALL_NOT_IMPLEMENTED;
  }
  Record("stop");
  Report(SERVICE_STOP_PENDING, 2000);
  SetEvent(StopRequested);
  return NO_ERROR;
}

void WINAPI ServiceMain(DWORD, LPSTR*) {
  ServiceHandle = RegisterServiceCtrlHandlerExA(ServiceName.c_str(), &Handler, nullptr);
  if (!ServiceHandle) return;
  Report(SERVICE_START_PENDING, 2000);
  Record("start");
  Report(SERVICE_RUNNING);
  WaitForSingleObject(StopRequested, INFINITE);
  Report(SERVICE_STOPPED);
}

int Serve() {
  StopRequested = CreateEventA(nullptr, TRUE, FALSE, nullptr);
  SERVICE_TABLE_ENTRYA table[] = {{ServiceName.data(), &ServiceMain}, {nullptr, nullptr}};
  return StartServiceCtrlDispatcherA(table) ? 0 : 1;
}

// ----- The managing side -----

int Failed(const char* step) {
  std::fprintf(stderr, "%s %s failed: error %lu\n", step, ServiceName.c_str(), GetLastError());
  return 1;
}

// The service's current state, 0 when it cannot be queried.
DWORD State(SC_HANDLE service) {
  SERVICE_STATUS status{};
  return QueryServiceStatus(service, &status) ? status.dwCurrentState : 0;
}

bool WaitFor(SC_HANDLE service, DWORD state, DWORD milliseconds) {
  for (DWORD start = GetTickCount(); GetTickCount() - start < milliseconds; Sleep(100))
    if (State(service) == state) return true;
  return false;
}

int Install(SC_HANDLE manager) {
  char program[MAX_PATH];
  GetModuleFileNameA(nullptr, program, sizeof program);
  std::string command = "\"" + std::string(program) + "\" serve " + ServiceName + " \"" + RecordFile + "\"";
  SC_HANDLE service = CreateServiceA(manager, ServiceName.c_str(), ServiceName.c_str(), SERVICE_ALL_ACCESS,
                                     SERVICE_WIN32_OWN_PROCESS, SERVICE_DEMAND_START, SERVICE_ERROR_IGNORE,
                                     command.c_str(), nullptr, nullptr, nullptr, nullptr, nullptr);
  if (!service) return Failed("CreateService");
  CloseServiceHandle(service);
  return 0;
}

int Start(SC_HANDLE service) {
  for (DWORD begin = GetTickCount(); GetTickCount() - begin < 90000;) {
    if (StartServiceA(service, 0, nullptr) || GetLastError() == ERROR_SERVICE_ALREADY_RUNNING) {
      if (WaitFor(service, SERVICE_RUNNING, 20000)) return 0;
    } else {
      Sleep(500);
    }
  }
  return Failed("StartService");
}

int Remove(SC_HANDLE service) {
  SERVICE_STATUS status{};
  if (State(service) != SERVICE_STOPPED) {
    ControlService(service, SERVICE_CONTROL_STOP, &status);
    if (!WaitFor(service, SERVICE_STOPPED, 20000)) std::fprintf(stderr, "%s did not stop\n", ServiceName.c_str());
  }
  return DeleteService(service) ? 0 : Failed("DeleteService");
}

const char* StateName(DWORD state) {
  switch (state) {
    case SERVICE_STOPPED: return "STOPPED";
    case SERVICE_START_PENDING: return "START_PENDING";
    case SERVICE_STOP_PENDING: return "STOP_PENDING";
    case SERVICE_RUNNING: return "RUNNING";
    default: return "UNKNOWN";
  }
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 3) {
    std::fprintf(stderr, "usage: service_stand_in.exe install|serve|start|state|remove <name> [record file]\n");
    return 2;
  }
  const std::string command = argv[1];
  ServiceName = argv[2];
  RecordFile = argc > 3 ? argv[3] : "";
  if ((command == "install" || command == "serve") && RecordFile.empty()) return 2;
  if (command == "serve") return Serve();

  SC_HANDLE manager = OpenSCManagerA(nullptr, nullptr, SC_MANAGER_ALL_ACCESS);
  if (!manager) return Failed("OpenSCManager");
  int result = 2;
  if (command == "install") {
    result = Install(manager);
  } else if (SC_HANDLE service = OpenServiceA(manager, ServiceName.c_str(), SERVICE_ALL_ACCESS)) {
    if (command == "start") result = Start(service);
    if (command == "remove") result = Remove(service);
    if (command == "state") {
      std::printf("%s\n", StateName(State(service)));
      result = 0;
    }
    CloseServiceHandle(service);
  } else if (command == "state" && GetLastError() == ERROR_SERVICE_DOES_NOT_EXIST) {
    std::printf("ABSENT\n");
    result = 0;
  } else {
    result = Failed("OpenService");
  }
  CloseServiceHandle(manager);
  return result;
}
