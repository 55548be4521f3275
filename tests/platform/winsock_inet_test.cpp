// Dotted-address conversion and byte order of Windows Sockets: the shorter
// dotted forms, octal and hexadecimal parts, the INADDR_NONE error value, and
// conversion back to text.
#include <windows.h>
#include <winsock.h>

#include <velplat/faults.h>

#include <gtest/gtest.h>

#include <dlfcn.h>

#include <array>
#include <cstring>
#include <string>
#include <thread>

namespace {

std::array<unsigned char, 4> BytesOf(ULONG address) {
  std::array<unsigned char, 4> bytes;
  std::memcpy(bytes.data(), &address, 4);
  return bytes;
}

using Bytes = std::array<unsigned char, 4>;

TEST(InetAddr, ConvertsTheShorterDottedFormsIntoNetworkOrder) {
  struct Case {
    const char* text;
    Bytes bytes;
  };
  const Case cases[] = {
      {"10.1.1.1", {10, 1, 1, 1}},
      {"10.1", {10, 0, 0, 1}},          // the last part fills three bytes
      {"10.1.2", {10, 1, 0, 2}},        // the last part fills two bytes
      {"0x0a.1", {10, 0, 0, 1}},        // hexadecimal part
      {"012.0X1.0.0377", {10, 1, 0, 255}},  // octal and upper-case hex parts
      {"167772161", {10, 0, 0, 1}},     // one 32-bit number
      {"10.65535", {10, 0, 255, 255}},
      {"1.2.65535", {1, 2, 255, 255}},
      {"0.0", {0, 0, 0, 0}},
      {"10.1.1.1 racpriv1", {10, 1, 1, 1}},  // whitespace ends the text
      {"10.1.1.1\n", {10, 1, 1, 1}},
      {"255.255.255.254", {255, 255, 255, 254}},
  };
  for (const auto& c : cases) EXPECT_EQ(c.bytes, BytesOf(inet_addr(c.text))) << c.text;
}

TEST(InetAddr, MalformedTextAndTheBroadcastAddressGiveINADDR_NONE) {
  const char* malformed[] = {
      "255.255.255.255",  // valid, but indistinguishable from the error value
      "1.2.3.4.5", "", "abc", " 10.1.1.1", "256.1.1.1", "1.256.1.1", "1.2.3.256", "10.16777216", "1.2.65536",
      "4294967296", "08.1.1.1", "1..2", "1.2.3.", ".1.2.3", "10.1.1.1x", "0x1g.1", "#10.1.1.1",
  };
  for (const char* text : malformed) EXPECT_EQ(static_cast<ULONG>(INADDR_NONE), inet_addr(text)) << '"' << text << '"';
  EXPECT_EQ(static_cast<ULONG>(INADDR_NONE), inet_addr(nullptr));
}

TEST(InetNtoa, WritesDottedTextIntoABufferOfTheCallingThread) {
  in_addr address;
  address.s_addr = inet_addr("192.168.10.254");
  char* text = inet_ntoa(address);
  ASSERT_NE(nullptr, text);
  EXPECT_STREQ("192.168.10.254", text);
  EXPECT_EQ(192, address.s_net);
  EXPECT_EQ(254, address.s_impno);

  std::string other;
  std::thread thread([&] {
    in_addr zero;
    zero.s_addr = 0;
    other = inet_ntoa(zero);
  });
  thread.join();
  EXPECT_EQ("0.0.0.0", other);
  EXPECT_STREQ("192.168.10.254", text) << "another thread's call leaves this buffer alone";

  velplat::faults::FailCall("inet_ntoa", WSAEINVAL);
  EXPECT_EQ(nullptr, inet_ntoa(address));
  velplat::faults::Clear();
}

TEST(ByteOrder, HostValuesTravelMostSignificantByteFirst) {
  EXPECT_EQ((Bytes{10, 0, 0, 1}), BytesOf(htonl(0x0A000001u)));
  EXPECT_EQ(0x0A000001u, ntohl(inet_addr("10.0.0.1")));
  EXPECT_EQ(0xDEADBEEFu, ntohl(htonl(0xDEADBEEFu)));
  u_short port = htons(0x00A1);  // 161
  unsigned char portBytes[2];
  std::memcpy(portBytes, &port, 2);
  EXPECT_EQ(0x00, portBytes[0]);
  EXPECT_EQ(0xA1, portBytes[1]);
  EXPECT_EQ(0x00A1, ntohs(port));
}

// The process also runs glibc's resolver (net-snmp uses it): the platform
// library must export the Winsock calls under its own names only.
TEST(WinsockNames, GlibcFunctionsOfTheSameNamesAreNotReplaced) {
  auto library = [](const char* symbol) -> std::string {
    void* address = dlsym(RTLD_DEFAULT, symbol);
    Dl_info info{};
    if (!address || !dladdr(address, &info) || !info.dli_fname) return "";
    return info.dli_fname;
  };
  for (const char* name : {"gethostbyname", "inet_addr", "inet_ntoa", "htonl", "htons", "ntohl", "ntohs"}) {
    std::string owner = library(name);
    EXPECT_NE("", owner) << name << " must still resolve";
    EXPECT_EQ(std::string::npos, owner.find("velplatform")) << name << " resolves into " << owner;
  }
  EXPECT_NE(std::string::npos, library("velws_gethostbyname").find("velplatform"));
}

}  // namespace
