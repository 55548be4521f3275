// One client of the soak: raw SNMP v2c requests to one velmond, retried
// every half second until the stall limit, with every answer's latency kept.
// A walk checks what every walk must satisfy whatever the world: names
// strictly increasing, inside the view, and every table complete (each
// column has the same rows).
//
// Thread-safety: one client per thread; Latencies() after the thread ended.
#ifndef VELMOND_TESTS_SOAK_SOAK_CLIENT_H
#define VELMOND_TESTS_SOAK_SOAK_CLIENT_H

#include <chrono>
#include <optional>
#include <string>
#include <vector>

#include "host/support/ber.h"
#include "host/support/snmp_socket.h"

namespace velmond::soak {

using testing::ber::Binding;
using testing::ber::Message;

struct Walk {
  std::vector<Binding> bindings;
  int requests = 0;
  std::string error;  // empty when the walk is sound
};

class SoakClient {
 public:
  SoakClient(const std::string& target, std::chrono::milliseconds stallLimit);

  // The response to `request`, or nothing when none came within the stall
  // limit (a stall).
  std::optional<Message> Ask(Message request);
  // The whole view by GetNext, or by GetBulk with `repetitions` per request.
  Walk WalkView(int repetitions = 0);

  long Requests() const { return requests_; }
  const std::vector<int>& LatenciesMicroseconds() const { return latencies_; }

 private:
  testing::SnmpSocket socket_;
  std::chrono::milliseconds stallLimit_;
  std::int64_t nextId_ = 1;
  long requests_ = 0;
  std::vector<int> latencies_;  // a sample: every answer until it is full, then every 16th
};

// Why `walk` breaks the rules every walk keeps; empty when it does not.
std::string CheckTables(const std::vector<Binding>& walk);

// Median and largest of the latencies, in milliseconds.
double MedianMilliseconds(std::vector<int> microseconds);

}  // namespace velmond::soak

#endif
