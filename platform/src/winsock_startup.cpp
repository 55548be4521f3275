// WSAStartup, WSACleanup and the sockets library's last error.
#include <windows.h>
#include <winsock.h>

#include <velplat/faults.h>
#include <velplat/network.h>

#include <cstring>
#include <mutex>

#include "winsock_startup.h"

namespace {

// The highest version this library implements, and the lowest it accepts.
constexpr WORD kHighVersion = MAKEWORD(1, 1);
constexpr WORD kLowVersion = MAKEWORD(1, 0);

struct Startups {
  std::mutex mutex;
  int count = 0;
};

Startups& TheStartups() {
  static Startups* startups = new Startups();  // used by threads that outlive main
  return *startups;
}

// Versions order by major (low byte), then minor (high byte).
int Ordinal(WORD version) { return LOBYTE(version) * 256 + HIBYTE(version); }

void Describe(WORD version, LPWSADATA data) {
  std::memset(data, 0, sizeof *data);
  data->wVersion = version;
  data->wHighVersion = kHighVersion;
  std::strcpy(data->szDescription, "velplat Windows Sockets 1.1");
  std::strcpy(data->szSystemStatus, "Running");
  data->iMaxSockets = 32767;
  data->iMaxUdpDg = 65467;
}

}  // namespace

namespace velplat::winsock {

bool Started() {
  Startups& s = TheStartups();
  std::lock_guard lock(s.mutex);
  return s.count > 0;
}

}  // namespace velplat::winsock

int velplat::network::WinsockStartups() {
  Startups& s = TheStartups();
  std::lock_guard lock(s.mutex);
  return s.count;
}

int WINAPI WSAStartup(WORD wVersionRequested, LPWSADATA lpWSAData) {
  if (auto error = velplat::faults::ConsumeCall("WSAStartup")) return static_cast<int>(*error);
  if (!lpWSAData) return WSAEFAULT;
  if (Ordinal(wVersionRequested) < Ordinal(kLowVersion)) {
    Describe(kHighVersion, lpWSAData);
    return WSAVERNOTSUPPORTED;
  }
  Describe(Ordinal(wVersionRequested) < Ordinal(kHighVersion) ? wVersionRequested : kHighVersion, lpWSAData);
  Startups& s = TheStartups();
  std::lock_guard lock(s.mutex);
  ++s.count;
  return 0;
}

int WINAPI WSACleanup(void) {
  if (auto error = velplat::faults::ConsumeCall("WSACleanup")) {
    SetLastError(*error);
    return SOCKET_ERROR;
  }
  Startups& s = TheStartups();
  std::lock_guard lock(s.mutex);
  if (s.count == 0) {
    SetLastError(WSANOTINITIALISED);
    return SOCKET_ERROR;
  }
  --s.count;
  return 0;
}

int WINAPI WSAGetLastError(void) { return static_cast<int>(GetLastError()); }

void WINAPI WSASetLastError(int iError) { SetLastError(static_cast<DWORD>(iError)); }
