// The process-wide start-up count of the sockets library.
// Thread-safety: any thread.
#ifndef VELPLAT_SRC_WINSOCK_STARTUP_H
#define VELPLAT_SRC_WINSOCK_STARTUP_H

namespace velplat::winsock {

// True while at least one WSAStartup has not been ended by WSACleanup.
bool Started();

}  // namespace velplat::winsock

#endif
