// Host-name resolution in the simulated world (see velplat/network.h for the
// rules): the per-machine resolver state and the look-up that gethostbyname
// answers from.
// Thread-safety: any thread.
#ifndef VELPLAT_SRC_WINSOCK_RESOLVER_H
#define VELPLAT_SRC_WINSOCK_RESOLVER_H

#include <cstdint>
#include <string>
#include <vector>

namespace velplat::winsock {

struct HostAnswer {
  int error = 0;                    // 0, or the WSA error of the look-up
  std::string name;                 // the official name
  std::vector<uint32_t> addresses;  // network byte order
};

// `name` null or empty asks for the local machine.
HostAnswer Resolve(const char* name);

}  // namespace velplat::winsock

#endif
