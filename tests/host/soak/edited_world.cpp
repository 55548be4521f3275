// What every edited world shares: reading the node table's names.
#include "host/soak/edited_world.h"

#include <algorithm>

#include "host/support/view_walk.h"

namespace velmond::soak {

std::map<std::int64_t, std::string> ShownNodeNames(const std::vector<testing::ber::Binding>& walk) {
  const testing::ber::Oid names = testing::InView({1, 2, 11, 1, 2});
  std::map<std::int64_t, std::string> shown;
  for (const testing::ber::Binding& b : walk) {
    if (b.name.size() > names.size() && std::equal(names.begin(), names.end(), b.name.begin())) {
      shown[b.name.back()] = b.value.content;
    }
  }
  return shown;
}

std::string DescribeNodeNames(const std::map<std::int64_t, std::string>& shown,
                              const std::map<std::int64_t, std::string>& expected) {
  std::string text = "node names shown:";
  for (const auto& [row, name] : shown) text += " " + std::to_string(row) + "=" + name;
  text += "; the agent's rules give:";
  for (const auto& [row, name] : expected) text += " " + std::to_string(row) + "=" + name;
  return text;
}

}  // namespace velmond::soak
