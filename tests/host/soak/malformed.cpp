// Four kinds of broken request, in turn.
#include "host/soak/malformed.h"

#include "host/support/view_walk.h"

namespace velmond::soak {
namespace {

namespace ber = testing::ber;

}  // namespace

std::string MalformedDatagrams::Next() {
  auto pick = [&](int low, int high) { return std::uniform_int_distribution<int>(low, high)(random_); };
  ber::Oid name = testing::InView({1, 2, 11, 1, static_cast<std::uint32_t>(pick(1, 4)), 1});
  ber::Message request = pick(0, 1) == 0 ? testing::Request(ber::tag::kGetNext, {name}, pick(1, 1 << 30))
                                         : testing::Bulk(name, 0, pick(1, 50), pick(1, 1 << 30));
  switch (pick(0, 3)) {
    case 0: {  // cut short
      std::string bytes = ber::Encode(request);
      return bytes.substr(0, static_cast<std::size_t>(pick(0, static_cast<int>(bytes.size()) - 1)));
    }
    case 1: {  // bits flipped
      std::string bytes = ber::Encode(request);
      for (int flips = pick(1, 4); flips > 0; --flips) {
        bytes[static_cast<std::size_t>(pick(0, static_cast<int>(bytes.size()) - 1))] ^=
            static_cast<char>(1 << pick(0, 7));
      }
      return bytes;
    }
    case 2: {  // a name far past the longest the agent serves
      ber::Oid& longName = request.bindings.front().name;
      for (int arcs = pick(120, 400); arcs > 0; --arcs) {
        longName.push_back(static_cast<std::uint32_t>(pick(0, 1) ? pick(0, 127) : pick(0, 0x7fffffff)));
      }
      return ber::Encode(request);
    }
    default: {  // a PDU type that must not bring data back
      static constexpr std::uint8_t kTypes[] = {ber::tag::kSet, 0xA4, 0xA6, 0xA7, 0xA8, 0xA9, 0xBF, 0x30};
      request.pdu = kTypes[pick(0, static_cast<int>(sizeof kTypes) - 1)];
      return ber::Encode(request);
    }
  }
}

}  // namespace velmond::soak
