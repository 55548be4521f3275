// Dotted-address conversion and byte order of the sockets library.
#include <windows.h>
#include <winsock.h>

#include <cstdio>
#include <cstring>

#include <velplat/faults.h>

namespace {

bool IsSpace(char c) { return c == ' ' || c == '\t' || c == '\n' || c == '\r' || c == '\f' || c == '\v'; }

int DigitValue(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

// One part: decimal, octal after a leading 0, hexadecimal after 0x or 0X.
// It must begin with a decimal digit. Advances `text`; false when malformed.
bool ReadPart(const char*& text, uint64_t& value) {
  if (*text < '0' || *text > '9') return false;
  int base = 10;
  if (*text == '0') {
    ++text;
    base = 8;
    if (*text == 'x' || *text == 'X') {
      ++text;
      base = 16;
    }
  }
  value = 0;
  for (;; ++text) {
    int digit = DigitValue(*text);
    if (digit < 0 || (base == 10 && digit > 9)) break;
    if (base == 8 && digit > 9) break;
    if (base == 8 && digit > 7) return false;  // 8 or 9 inside an octal part
    value = value * static_cast<unsigned>(base) + static_cast<unsigned>(digit);
    if (value > 0xFFFFFFFFu) return false;
  }
  return true;
}

// The host-order value of the text, or false when it is malformed.
bool ParseAddress(const char* text, uint32_t& address) {
  uint64_t parts[4];
  int count = 0;
  for (;;) {
    if (!ReadPart(text, parts[count])) return false;
    ++count;
    if (*text != '.') break;
    if (count == 4) return false;
    ++text;
  }
  if (*text != '\0' && !IsSpace(*text)) return false;
  // The last part fills every byte that the earlier ones leave.
  static constexpr uint64_t kLastPartLimit[4] = {0xFFFFFFFFu, 0xFFFFFFu, 0xFFFFu, 0xFFu};
  for (int i = 0; i + 1 < count; ++i)
    if (parts[i] > 0xFF) return false;
  if (parts[count - 1] > kLastPartLimit[count - 1]) return false;
  uint64_t value = parts[count - 1];
  for (int i = 0; i + 1 < count; ++i) value |= parts[i] << (24 - 8 * i);
  address = static_cast<uint32_t>(value);
  return true;
}

uint32_t NetworkOrder32(uint32_t value) {
  unsigned char bytes[4] = {static_cast<unsigned char>(value >> 24), static_cast<unsigned char>(value >> 16),
                            static_cast<unsigned char>(value >> 8), static_cast<unsigned char>(value)};
  uint32_t result = 0;
  std::memcpy(&result, bytes, sizeof result);
  return result;
}

uint16_t NetworkOrder16(uint16_t value) {
  unsigned char bytes[2] = {static_cast<unsigned char>(value >> 8), static_cast<unsigned char>(value)};
  uint16_t result = 0;
  std::memcpy(&result, bytes, sizeof result);
  return result;
}

}  // namespace

ULONG WINAPI velws_inet_addr(const char* cp) {
  if (velplat::faults::ConsumeCall("inet_addr")) return INADDR_NONE;
  uint32_t address = 0;
  if (!cp || !ParseAddress(cp, address)) return INADDR_NONE;
  return NetworkOrder32(address);
}

char* WINAPI velws_inet_ntoa(struct in_addr in) {
  if (auto error = velplat::faults::ConsumeCall("inet_ntoa")) {
    WSASetLastError(static_cast<int>(*error));
    return nullptr;
  }
  thread_local char text[16];
  std::snprintf(text, sizeof text, "%u.%u.%u.%u", in.S_un.S_un_b.s_b1, in.S_un.S_un_b.s_b2, in.S_un.S_un_b.s_b3,
                in.S_un.S_un_b.s_b4);
  return text;
}

// Memory order of network data is big-endian; the byte shuffles above are
// written so that they hold on either host order.
ULONG WINAPI velws_htonl(ULONG hostlong) { return NetworkOrder32(hostlong); }
u_short WINAPI velws_htons(u_short hostshort) { return NetworkOrder16(hostshort); }
ULONG WINAPI velws_ntohl(ULONG netlong) { return NetworkOrder32(netlong); }
u_short WINAPI velws_ntohs(u_short netshort) { return NetworkOrder16(netshort); }
