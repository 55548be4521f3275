// The agent's view as raw requests see it: its name, requests built in one
// line, and a walk by GetNext that serves as the known-good answer other
// requests are compared with.
//
// Thread-safety: no shared state.
#ifndef VELMOND_TESTS_VIEW_WALK_H
#define VELMOND_TESTS_VIEW_WALK_H

#include <vector>

#include "host/support/ber.h"
#include "host/support/snmp_socket.h"

namespace velmond::testing {

// 1.3.6.1.4.1.32473.2.18.22.4.1 and the name that ends it.
const ber::Oid& ViewOid();
const ber::Oid& PastViewOid();
// The view followed by `arcs`.
ber::Oid InView(const ber::Oid& arcs);

// A request with NULL values for `names`.
ber::Message Request(std::uint8_t pdu, const std::vector<ber::Oid>& names, std::int64_t requestId,
                     std::int64_t version = 1, const std::string& community = "public");
ber::Message Bulk(const ber::Oid& name, std::int64_t nonRepeaters, std::int64_t maxRepetitions,
                  std::int64_t requestId, const std::string& community = "public");

// Every instance of the view, by GetNext from the view's name, stopping at
// the first answer outside it (at most `limit` requests). Empty when a
// request goes unanswered or fails.
std::vector<ber::Binding> WalkView(SnmpSocket& socket, std::int64_t version = 1,
                                   const std::string& community = "public", int limit = 4000);

// The names (in order) of an expected walk output file as snmpwalk -On
// prints it, without the end-of-view line.
std::vector<ber::Oid> ExpectedNames(const std::string& file);

}  // namespace velmond::testing

#endif
