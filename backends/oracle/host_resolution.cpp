// The HOSTS file parser and the public-name resolver pass.
#include "backends/oracle/host_resolution.h"

#include "discovery/member_table.h"

#include <share.h>
#include <winsock.h>

#include <cstdio>
#include <cstring>
#include <string>

namespace velmon::oracle {
namespace {

constexpr int kLineBytes = 80;  // one read takes at most 79 characters

// %SystemRoot%\System32\drivers\etc\hosts (C:\WinNT when SystemRoot is
// unset), however long the system root is.
std::string HostsFilePath() {
  std::string root(MAX_PATH, '\0');
  DWORD length = GetEnvironmentVariableA("SystemRoot", root.data(), static_cast<DWORD>(root.size()));
  if (length >= root.size()) {
    root.resize(length);  // the size needed, terminator included
    length = GetEnvironmentVariableA("SystemRoot", root.data(), static_cast<DWORD>(root.size()));
  }
  root.resize(length < root.size() ? length : 0);
  if (root.empty()) root = "C:\\WinNT";
  return root + "\\System32\\drivers\\etc\\" + "hosts";
}

// One chunk of the file: "address name [aliases...]".
void ParseChunk(char* chunk) {
  size_t length = std::strlen(chunk);
  if (length <= 1 || chunk[0] == '#') return;
  char* context = nullptr;
  char* addressText = strtok_r(chunk, "\t ", &context);
  char* hostName = addressText ? strtok_r(nullptr, "\t ", &context) : nullptr;
  if (!hostName) return;
  size_t nameLength = std::strlen(hostName);
  if (nameLength > 0 && hostName[nameLength - 1] == '\n') hostName[nameLength - 1] = '\0';
  auto lock = LockMemberTable();
  int member = FindMemberByName(hostName);
  if (member < 0) return;
  unsigned long address = inet_addr(addressText);
  if (address == INADDR_NONE) return;
  MemberTable[member].address = static_cast<DWORD>(address);
}

}  // namespace

void LoadHostsFileAddresses() {
  std::FILE* file = _fsopen(HostsFilePath().c_str(), "rt", _SH_DENYNO);
  if (!file) {
    std::fputs("The HOSTS file was not opened\n", stdout);
    std::fflush(stdout);
    return;
  }
  char chunk[kLineBytes];
  bool restOfLine = false;  // the chunk continues a line longer than 79 characters
  while (true) {
    // Cleared first, so that a newline found below was read by this call.
    std::memset(chunk, 0, sizeof chunk);
    if (!std::fgets(chunk, sizeof chunk, file)) break;
    // Only a line's first chunk is parsed, so that aliases and comments past
    // column 79 are never taken for entries. A zero byte in the chunk would
    // hide its end from strlen: look for the newline itself.
    bool continues = std::memchr(chunk, '\n', sizeof chunk) == nullptr;
    if (!restOfLine) ParseChunk(chunk);
    restOfLine = continues;
  }
  std::fclose(file);
}

void ResolvePublicAddresses(DWORD start) {
  WSADATA data;
  if (WSAStartup(0x0101, &data) != 0) return;
  for (DWORD position = start; position < static_cast<DWORD>(kMemberCapacity); ++position) {
    char name[kMemberNameSize];
    {
      auto lock = LockMemberTable();
      std::memcpy(name, MemberTable[position].publicName, sizeof name);
    }
    if (name[0] == '\0') break;
    // The resolver may block; the table is not locked meanwhile.
    hostent* entry = gethostbyname(name);
    auto lock = LockMemberTable();
    if (!entry) {
      MemberTable[position].publicAddress = 0;
    } else if (entry->h_addr_list && entry->h_addr_list[0]) {
      std::memcpy(&MemberTable[position].publicAddress, entry->h_addr_list[0], 4);
    }
  }
  WSACleanup();
}

}  // namespace velmon::oracle
