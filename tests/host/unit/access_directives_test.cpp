// When velmond warns about the well-known community: only a listening
// address beyond loopback counts.
#include <gtest/gtest.h>

#include "host/snmp/access_directives.h"

namespace velmond {
namespace {

TEST(AccessDirectives, OnlyLoopbackEndpointsCountAsPrivate) {
  for (const char* endpoint : {"udp:127.0.0.1:1161", "udp:127.8.9.10:161", "tcp:127.0.0.1:1161", "udp6:[::1]:1161"}) {
    EXPECT_TRUE(IsLoopbackEndpoint(endpoint)) << endpoint;
  }
  for (const char* endpoint : {"udp:0.0.0.0:161", "udp:10.1.2.3:161", "udp6:[::]:161", "udp6:[fe80::1]:161",
                               "udp:128.0.0.1:161"}) {
    EXPECT_FALSE(IsLoopbackEndpoint(endpoint)) << endpoint;
  }
}

}  // namespace
}  // namespace velmond
