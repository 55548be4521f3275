// A UDP socket connected to one SNMP agent on the loopback interface, for
// raw requests: send any datagram, wait for an answer with a time limit, or
// ask and take only the response that carries the request's id. Targets
// other than 127.0.0.1 are refused, so tests cannot send anywhere else.
//
// Thread-safety: one socket per thread.
#ifndef VELMOND_TESTS_SNMP_SOCKET_H
#define VELMOND_TESTS_SNMP_SOCKET_H

#include <chrono>
#include <optional>
#include <string>

#include "host/support/ber.h"

namespace velmond::testing {

class SnmpSocket {
 public:
  // `target` is "127.0.0.1:PORT" as Daemon::Target gives it.
  explicit SnmpSocket(const std::string& target);
  ~SnmpSocket();
  SnmpSocket(const SnmpSocket&) = delete;
  SnmpSocket& operator=(const SnmpSocket&) = delete;

  bool Ok() const { return fd_ >= 0; }
  bool Send(const ber::Bytes& datagram);
  // The next datagram, or nothing when none arrives within `limit`.
  std::optional<ber::Bytes> Receive(std::chrono::milliseconds limit);
  // Sends `request` and returns the decoded response with its request id;
  // datagrams that are not that response are skipped and counted.
  std::optional<ber::Message> Ask(const ber::Message& request,
                                  std::chrono::milliseconds limit = std::chrono::seconds(5));
  // True when no datagram arrives within `quiet`.
  bool Silent(std::chrono::milliseconds quiet);
  int Skipped() const { return skipped_; }

 private:
  int fd_ = -1;
  int skipped_ = 0;
};

}  // namespace velmond::testing

#endif
