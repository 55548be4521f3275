// Requests and the reference walk of the agent's view.
#include "host/support/view_walk.h"

#include <sstream>

#include "host/support/process.h"

namespace velmond::testing {

const ber::Oid& ViewOid() {
  static const ber::Oid view{1, 3, 6, 1, 4, 1, 32473, 2, 18, 22, 4, 1};
  return view;
}

const ber::Oid& PastViewOid() {
  static const ber::Oid past{1, 3, 6, 1, 4, 1, 32473, 2, 18, 22, 4, 2};
  return past;
}

ber::Oid InView(const ber::Oid& arcs) { return ber::Append(ViewOid(), arcs); }

ber::Message Request(std::uint8_t pdu, const std::vector<ber::Oid>& names, std::int64_t requestId,
                     std::int64_t version, const std::string& community) {
  ber::Message message;
  message.version = version;
  message.community = community;
  message.pdu = pdu;
  message.requestId = requestId;
  for (const ber::Oid& name : names) message.bindings.push_back({name, ber::Null()});
  return message;
}

ber::Message Bulk(const ber::Oid& name, std::int64_t nonRepeaters, std::int64_t maxRepetitions,
                  std::int64_t requestId, const std::string& community) {
  ber::Message message = Request(ber::tag::kGetBulk, {name}, requestId, 1, community);
  message.errorStatus = nonRepeaters;
  message.errorIndex = maxRepetitions;
  return message;
}

std::vector<ber::Binding> WalkView(SnmpSocket& socket, std::int64_t version, const std::string& community,
                                   int limit) {
  std::vector<ber::Binding> walk;
  ber::Oid at = ViewOid();
  for (int i = 0; i < limit; ++i) {
    auto answer = socket.Ask(Request(ber::tag::kGetNext, {at}, 900000 + i, version, community));
    if (!answer || answer->bindings.size() != 1) return {};
    const ber::Binding& next = answer->bindings.front();
    bool inside = next.name.size() > ViewOid().size() &&
                  std::equal(ViewOid().begin(), ViewOid().end(), next.name.begin());
    // v1 ends with noSuchName, v2c with endOfMibView or a name past the view.
    if (answer->errorStatus == ber::error::kNoSuchName || next.value.type == ber::tag::kEndOfMibView || !inside) {
      return walk;
    }
    if (answer->errorStatus != ber::error::kNoError || !(at < next.name)) return {};
    walk.push_back(next);
    at = next.name;
  }
  return {};
}

std::vector<ber::Oid> ExpectedNames(const std::string& file) {
  std::vector<ber::Oid> names;
  std::istringstream text(ReadText(file));
  std::string line;
  while (std::getline(text, line)) {
    if (line.empty() || line[0] != '.' || line.find("No more variables") != std::string::npos) continue;
    names.push_back(ber::ParseOid(line.substr(0, line.find(' '))));
  }
  return names;
}

}  // namespace velmond::testing
