// gethostbyname: the world's answer in a host entry owned by the calling
// thread, as Winsock keeps one per thread.
#include <windows.h>
#include <winsock.h>

#include <velplat/faults.h>

#include <cstring>
#include <string>
#include <vector>

#include "winsock_resolver.h"
#include "winsock_startup.h"

namespace {

struct ThreadHostEntry {
  hostent entry{};
  std::string name;
  std::vector<ULONG> addresses;
  std::vector<char*> addressList;
  char* aliases[1] = {nullptr};

  hostent* Fill(velplat::winsock::HostAnswer answer) {
    name = std::move(answer.name);
    addresses.assign(answer.addresses.begin(), answer.addresses.end());
    addressList.clear();
    for (ULONG& address : addresses) addressList.push_back(reinterpret_cast<char*>(&address));
    addressList.push_back(nullptr);
    entry.h_name = name.data();
    entry.h_aliases = aliases;
    entry.h_addrtype = AF_INET;
    entry.h_length = static_cast<short>(sizeof(ULONG));
    entry.h_addr_list = addressList.data();
    return &entry;
  }
};

hostent* Fail(int error) {
  WSASetLastError(error);
  return nullptr;
}

}  // namespace

hostent* WINAPI velws_gethostbyname(const char* name) {
  if (auto error = velplat::faults::ConsumeCall("gethostbyname")) return Fail(static_cast<int>(*error));
  if (!velplat::winsock::Started()) return Fail(WSANOTINITIALISED);
  velplat::winsock::HostAnswer answer = velplat::winsock::Resolve(name);
  if (answer.error != 0) return Fail(answer.error);
  thread_local ThreadHostEntry threadEntry;
  return threadEntry.Fill(std::move(answer));
}
