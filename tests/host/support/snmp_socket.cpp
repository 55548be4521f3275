// Raw SNMP over a connected loopback UDP socket.
#include "host/support/snmp_socket.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

namespace velmond::testing {

SnmpSocket::SnmpSocket(const std::string& target) {
  const std::string loopback = "127.0.0.1:";
  if (target.rfind(loopback, 0) != 0) return;
  int port = std::stoi(target.substr(loopback.size()));
  if (port <= 0 || port > 65535) return;
  sockaddr_in address{};
  address.sin_family = AF_INET;
  address.sin_port = htons(static_cast<std::uint16_t>(port));
  address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  fd_ = socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, 0);
  if (fd_ < 0) return;
  // Room for a burst of answers and for the largest datagram.
  int buffer = 1 << 20;
  setsockopt(fd_, SOL_SOCKET, SO_RCVBUF, &buffer, sizeof(buffer));
  setsockopt(fd_, SOL_SOCKET, SO_SNDBUF, &buffer, sizeof(buffer));
  if (connect(fd_, reinterpret_cast<sockaddr*>(&address), sizeof(address)) != 0) {
    close(fd_);
    fd_ = -1;
  }
}

SnmpSocket::~SnmpSocket() {
  if (fd_ >= 0) close(fd_);
}

bool SnmpSocket::Send(const ber::Bytes& datagram) {
  if (fd_ < 0) return false;
  return send(fd_, datagram.data(), datagram.size(), 0) == static_cast<ssize_t>(datagram.size());
}

std::optional<ber::Bytes> SnmpSocket::Receive(std::chrono::milliseconds limit) {
  if (fd_ < 0) return std::nullopt;
  auto deadline = std::chrono::steady_clock::now() + limit;
  for (;;) {
    auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - std::chrono::steady_clock::now());
    if (left.count() < 0) return std::nullopt;
    pollfd ready{fd_, POLLIN, 0};
    int n = poll(&ready, 1, static_cast<int>(left.count()));
    if (n == 0) return std::nullopt;
    if (n < 0) continue;  // interrupted; the deadline still holds
    ber::Bytes datagram(65536, '\0');
    ssize_t got = recv(fd_, datagram.data(), datagram.size(), 0);
    // An ICMP "port unreachable" from an earlier send shows up here; it is
    // not an answer.
    if (got < 0) continue;
    datagram.resize(static_cast<std::size_t>(got));
    return datagram;
  }
}

std::optional<ber::Message> SnmpSocket::Ask(const ber::Message& request, std::chrono::milliseconds limit) {
  if (!Send(ber::Encode(request))) return std::nullopt;
  auto deadline = std::chrono::steady_clock::now() + limit;
  for (;;) {
    auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - std::chrono::steady_clock::now());
    if (left.count() <= 0) return std::nullopt;
    auto datagram = Receive(left);
    if (!datagram) return std::nullopt;
    auto response = ber::Decode(*datagram);
    if (response && response->requestId == request.requestId) return response;
    ++skipped_;
  }
}

bool SnmpSocket::Silent(std::chrono::milliseconds quiet) { return !Receive(quiet).has_value(); }

}  // namespace velmond::testing
