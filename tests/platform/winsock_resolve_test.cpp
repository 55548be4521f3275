// Windows Sockets start-up and host-name resolution in the simulated world:
// version negotiation, balanced clean-ups, world machines and configured host
// entries, entries without addresses, failures, and the per-thread hostent.
#include <windows.h>
#include <winsock.h>

#include <velplat/faults.h>
#include <velplat/network.h>
#include <velplat/world.h>

#include <gtest/gtest.h>

#include <array>
#include <cstring>
#include <string>
#include <thread>
#include <vector>

namespace {

namespace network = velplat::network;

std::string Dotted(const char* address) {
  unsigned char b[4];
  std::memcpy(b, address, 4);
  return std::to_string(b[0]) + "." + std::to_string(b[1]) + "." + std::to_string(b[2]) + "." + std::to_string(b[3]);
}

std::vector<std::string> Addresses(const hostent* entry) {
  std::vector<std::string> texts;
  for (char** address = entry->h_addr_list; *address; ++address) texts.push_back(Dotted(*address));
  return texts;
}

class Winsock : public ::testing::Test {
 protected:
  void SetUp() override {
    velplat::World::Get().Reset();
    velplat::faults::Clear();
    ASSERT_EQ(0, network::WinsockStartups()) << "an earlier test left the library started";
  }
};

// Brackets a test body with its own start-up, as every product caller does.
class Resolver : public Winsock {
 protected:
  void SetUp() override {
    Winsock::SetUp();
    WSADATA data;
    ASSERT_EQ(0, WSAStartup(0x0101, &data));
  }
  void TearDown() override { EXPECT_EQ(0, WSACleanup()); }
};

TEST_F(Winsock, StartupNegotiatesVersionOneOneAndCleanupsBalanceStartups) {
  WSADATA data;
  ASSERT_EQ(0, WSAStartup(0x0101, &data));
  EXPECT_EQ(0x0101, data.wVersion);
  EXPECT_EQ(0x0101, data.wHighVersion);
  EXPECT_NE('\0', data.szDescription[0]);
  ASSERT_EQ(0, WSAStartup(MAKEWORD(2, 2), &data));
  EXPECT_EQ(0x0101, data.wVersion) << "a newer request gets the highest version implemented";
  ASSERT_EQ(0, WSAStartup(MAKEWORD(1, 0), &data));
  EXPECT_EQ(MAKEWORD(1, 0), data.wVersion);
  EXPECT_EQ(WSAVERNOTSUPPORTED, WSAStartup(MAKEWORD(0, 9), &data));
  EXPECT_EQ(WSAEFAULT, WSAStartup(0x0101, nullptr));
  EXPECT_EQ(3, network::WinsockStartups()) << "failed start-ups count nothing";

  velplat::faults::FailCall("WSAStartup", WSASYSNOTREADY);
  WSASetLastError(0);
  EXPECT_EQ(WSASYSNOTREADY, WSAStartup(0x0101, &data));
  EXPECT_EQ(0, WSAGetLastError()) << "start-up reports its error by return value only";
  EXPECT_EQ(3, network::WinsockStartups());

  EXPECT_EQ(0, WSACleanup());
  EXPECT_EQ(0, WSACleanup());
  EXPECT_EQ(0, WSACleanup());
  EXPECT_EQ(SOCKET_ERROR, WSACleanup());
  EXPECT_EQ(WSANOTINITIALISED, WSAGetLastError());
  EXPECT_EQ(static_cast<DWORD>(WSANOTINITIALISED), GetLastError()) << "the same per-thread error";
}

TEST_F(Winsock, ResolutionNeedsAStartup) {
  ASSERT_TRUE(network::SetMachineAddresses({"10.0.0.1"}));
  EXPECT_EQ(nullptr, gethostbyname(velplat::World::Get().Local().Name().c_str()));
  EXPECT_EQ(WSANOTINITIALISED, WSAGetLastError());

  WSADATA data;
  ASSERT_EQ(0, WSAStartup(0x0101, &data));
  EXPECT_NE(nullptr, gethostbyname(velplat::World::Get().Local().Name().c_str()));
  ASSERT_EQ(0, WSACleanup());
  EXPECT_EQ(nullptr, gethostbyname(velplat::World::Get().Local().Name().c_str())) << "after the last clean-up";
  EXPECT_EQ(WSANOTINITIALISED, h_errno);
}

TEST_F(Resolver, WorldMachinesAnswerWithTheirAddressesInNetworkOrder) {
  velplat::Machine& node = velplat::World::Get().Add("RACNODE2");
  ASSERT_TRUE(network::SetMachineAddresses({"10.0.0.2", "192.168.1.2"}, &node));
  hostent* entry = gethostbyname("racnode2");
  ASSERT_NE(nullptr, entry);
  EXPECT_STREQ("RACNODE2", entry->h_name);
  EXPECT_EQ(AF_INET, entry->h_addrtype);
  EXPECT_EQ(4, entry->h_length);
  ASSERT_NE(nullptr, entry->h_aliases);
  EXPECT_EQ(nullptr, entry->h_aliases[0]);
  EXPECT_EQ((std::vector<std::string>{"10.0.0.2", "192.168.1.2"}), Addresses(entry));
  EXPECT_EQ(entry->h_addr_list[0], entry->h_addr);

  velplat::World::Get().Add("RACNODE3");
  EXPECT_EQ(nullptr, gethostbyname("RACNODE3")) << "a machine without addresses is unknown";
  EXPECT_EQ(WSAHOST_NOT_FOUND, WSAGetLastError());
  EXPECT_EQ(nullptr, gethostbyname("racnode9"));
  EXPECT_EQ(WSAHOST_NOT_FOUND, WSAGetLastError());
  EXPECT_EQ(nullptr, gethostbyname("10.0.0.2")) << "address texts are not names";

  ASSERT_TRUE(network::SetMachineAddresses({"10.0.0.1"}));
  EXPECT_EQ((std::vector<std::string>{"10.0.0.1"}), Addresses(gethostbyname("")));
  EXPECT_EQ((std::vector<std::string>{"10.0.0.1"}), Addresses(gethostbyname(nullptr)));
  EXPECT_EQ((std::vector<std::string>{"127.0.0.1"}), Addresses(gethostbyname("LocalHost")));

  network::ClearMachineAddresses(&node);
  EXPECT_EQ(nullptr, gethostbyname("racnode2"));
}

TEST_F(Resolver, HostEntriesAddNamesEmptyAddressListsAndFailures) {
  ASSERT_TRUE(network::SetHostEntry("racpub1", {"172.16.0.1"}));
  ASSERT_TRUE(network::SetHostEntry("racpub3", {}));
  network::SetHostFailure("racpub4", WSATRY_AGAIN);

  EXPECT_EQ((std::vector<std::string>{"172.16.0.1"}), Addresses(gethostbyname("RACPUB1")));
  hostent* empty = gethostbyname("racpub3");
  ASSERT_NE(nullptr, empty) << "an entry without address still resolves";
  EXPECT_EQ(nullptr, empty->h_addr_list[0]);
  EXPECT_EQ(nullptr, gethostbyname("racpub4"));
  EXPECT_EQ(WSATRY_AGAIN, WSAGetLastError());

  velplat::Machine& node = velplat::World::Get().Add("RACNODE2");
  ASSERT_TRUE(network::SetMachineAddresses({"10.0.0.2"}, &node));
  network::SetHostFailure("racnode2", WSANO_RECOVERY, &node);
  EXPECT_EQ(nullptr, gethostbyname("racnode2")) << "an entry overrides the machine of that name";
  EXPECT_EQ(WSANO_RECOVERY, WSAGetLastError());
  network::RemoveHostEntry("RACNODE2");
  EXPECT_NE(nullptr, gethostbyname("racnode2"));

  ASSERT_TRUE(network::SetHostEntry("racpub1", {"172.16.0.9", "172.16.1.9"}, &node));
  EXPECT_EQ((std::vector<std::string>{"172.16.0.9", "172.16.1.9"}), Addresses(gethostbyname("racpub1")))
      << "setting a name again replaces it, whichever machine keeps it";
  velplat::World::Get().SetLocal("OTHER");
  EXPECT_NE(nullptr, gethostbyname("racpub1")) << "entries belong to the world, not the local machine";

  EXPECT_FALSE(network::SetHostEntry("bad", {"10.0.0"}));
  EXPECT_FALSE(network::SetHostEntry("bad", {"10.0.0.256"}));
  EXPECT_FALSE(network::SetMachineAddresses({"10.0.0.1", "0x0a.0.0.1"}));
  EXPECT_EQ(nullptr, gethostbyname("bad")) << "a refused entry changes nothing";

  velplat::World::Get().Reset();
  EXPECT_EQ(nullptr, gethostbyname("racpub1")) << "a new world starts without entries";
}

TEST_F(Resolver, InjectedResolverFailureFailsOneCall) {
  ASSERT_TRUE(network::SetHostEntry("racpub1", {"172.16.0.1"}));
  velplat::faults::FailCall("gethostbyname", WSANO_RECOVERY);
  EXPECT_EQ(nullptr, gethostbyname("racpub1"));
  EXPECT_EQ(WSANO_RECOVERY, WSAGetLastError());
  EXPECT_NE(nullptr, gethostbyname("racpub1"));
}

TEST_F(Resolver, EachThreadOwnsItsHostEntry) {
  ASSERT_TRUE(network::SetHostEntry("first", {"10.0.0.1"}));
  ASSERT_TRUE(network::SetHostEntry("second", {"10.0.0.2", "10.0.0.3"}));
  hostent* mine = gethostbyname("first");
  ASSERT_NE(nullptr, mine);

  std::vector<std::string> seenByOther;
  const hostent* others = nullptr;
  std::thread other([&] {
    others = gethostbyname("second");
    if (others) seenByOther = Addresses(others);
  });
  other.join();
  EXPECT_NE(mine, others);
  EXPECT_EQ((std::vector<std::string>{"10.0.0.2", "10.0.0.3"}), seenByOther);
  EXPECT_STREQ("first", mine->h_name) << "another thread's call leaves this thread's entry alone";
  EXPECT_EQ((std::vector<std::string>{"10.0.0.1"}), Addresses(mine));

  EXPECT_EQ(mine, gethostbyname("second")) << "one entry per thread, reused";
  EXPECT_STREQ("second", mine->h_name);
}

}  // namespace
