// The edited Oracle RAC world and the agent's rules for its node table.
#include "host/soak/oracle_membership.h"

#include <algorithm>
#include <sstream>

#include "host/support/view_walk.h"

namespace velmond::soak {
namespace {

constexpr std::size_t kMostMembers = 5;
// Walks of a larger node table would take longer than an edit may take to show.
constexpr std::int64_t kMostEntries = 200;
constexpr int kNamePool = 200;  // racnode2 .. racnode200, addresses 192.0.2.12 .. 192.0.2.210

int Number(const std::string& name) { return std::stoi(name.substr(std::string("racnode").size())); }

std::string Quoted(const std::vector<std::string>& names) {
  std::string list;
  for (const std::string& name : names) list += (list.empty() ? "\"" : ", \"") + name + "\"";
  return "[" + list + "]";
}

}  // namespace

OracleMembership::OracleMembership() : members_{{"racnode1", true}, {"racnode2", false}} {
  // The first fill: one entry per member, numbered from 1.
  for (const Member& member : members_) records_.push_back(member.name);
  for (const std::string& name : records_) nodeEntries_.emplace_back(savedNextIndex_++, name);
}

std::string OracleMembership::WorldText() const {
  std::vector<std::string> publicNames;
  std::vector<std::string> privateNames;
  std::string hosts = "127.0.0.1       localhost\n";
  for (const Member& member : members_) {
    std::string number = std::to_string(Number(member.name));
    publicNames.push_back(member.name);
    privateNames.push_back("racpriv" + number);
    hosts += "198.51.100." + number + "    racpriv" + number + "\n";
  }
  std::ostringstream text;
  for (const Member& member : members_) {
    const std::string& name = member.name;
    text << "[machine." << name << "]\n";
    if (&member == &members_.front()) text << "local = true\n";
    text << "addresses = [\"192.0.2." << 10 + Number(name) << "\"]\n\n"
         << "[machine." << name << ".registry.'HKLM\\SOFTWARE\\Oracle\\osd9i\\CM']\n"
         << "PublicNodeNames = " << Quoted(publicNames) << "\n"
         << "PrivateNodeNames = " << Quoted(privateNames) << "\n"
         << "HostName = \"" << name << "\"\n\n"
         << "[machine." << name << ".files]\n"
         << "'C:\\WINNT\\System32\\drivers\\etc\\hosts' = \"\"\"\n"
         << hosts << "\"\"\"\n"
         << "'C:\\oracle\\ora92\\bin\\oracm.exe' = { version = \"9.2.0.1.0\" "
            "}\n\n"
         << "[machine." << name << ".services.OracleCMService9i]\n"
         << "display_name = \"OracleCMService9i\"\n"
         << "image_path = 'C:\\oracle\\ora92\\bin\\oracm.exe'\n"
         << "start_type = \"auto\"\n"
         << "state = \"" << (member.running ? "running" : "stopped") << "\"\n\n"
         << "[machine." << name << ".accounts.RACUSER]\n"
         << "password = \"{3C1F5E92-7B40-4d1a-9E27-C48B0D6A5F13}\"\n"
         << "groups = [\"Administrators\"]\n\n";
  }
  return text.str();
}

std::string OracleMembership::NewName() {
  for (;;) {
    lastNumber_ = lastNumber_ % kNamePool + 1;
    std::string name = "racnode" + std::to_string(lastNumber_);
    bool taken = std::any_of(members_.begin(), members_.end(), [&](const Member& m) { return m.name == name; });
    if (lastNumber_ >= 2 && !taken) return name;
  }
}

std::string OracleMembership::Edit(std::mt19937& random) {
  int edit = std::uniform_int_distribution<int>(0, 3)(random);
  if (LiveEntries() >= kMostEntries) edit = 3;
  switch (edit) {
    case 0:
      if (members_.size() > 1) {
        std::size_t at = std::uniform_int_distribution<std::size_t>(1, members_.size() - 1)(random);
        std::string old = members_[at].name;
        members_[at].name = NewName();
        PublicNamesChanged();
        return "renamed " + old + " to " + members_[at].name;
      }
      [[fallthrough]];
    case 1:
      if (members_.size() < kMostMembers) {
        members_.push_back({NewName(), std::bernoulli_distribution(0.5)(random)});
        PublicNamesChanged();
        return "added " + members_.back().name;
      }
      [[fallthrough]];
    case 2:
      if (members_.size() > 1) {
        std::size_t at = std::uniform_int_distribution<std::size_t>(1, members_.size() - 1)(random);
        std::string old = members_[at].name;
        members_.erase(members_.begin() + static_cast<std::ptrdiff_t>(at));
        PublicNamesChanged();
        return "removed " + old;
      }
      [[fallthrough]];
    default: {
      Member& member = members_[std::uniform_int_distribution<std::size_t>(0, members_.size() - 1)(random)];
      member.running = !member.running;
      return (member.running ? "started the cluster manager on " : "stopped the cluster manager on ") + member.name;
    }
  }
}

void OracleMembership::PublicNamesChanged() {
  // The records take the new list position by position; the first position
  // that differs starts a re-fill of every record from there to the end.
  std::ptrdiff_t first = -1;
  for (std::size_t i = 0; i < members_.size(); ++i) {
    if (i == records_.size()) records_.emplace_back();
    if (records_[i] != members_[i].name) {
      records_[i] = members_[i].name;
      if (first < 0) first = static_cast<std::ptrdiff_t>(i);
    }
  }
  if (first < 0) return;
  for (std::size_t i = static_cast<std::size_t>(first); i < records_.size(); ++i) {
    nodeEntries_.emplace_back(savedNextIndex_++, records_[i]);
  }
}

std::map<std::int64_t, std::string> OracleMembership::VisibleNames() const {
  std::map<std::int64_t, std::string> rows;
  for (const auto& [index, name] : nodeEntries_) rows.emplace(index, name);
  return rows;
}

std::int64_t OracleMembership::ExpectedState(const std::string& name) const {
  for (const Member& member : members_) {
    if (member.name == name) return member.running ? 4 : 8;
  }
  return 1;
}

std::string OracleMembership::Check(const std::vector<testing::ber::Binding>& walk) {
  namespace ber = testing::ber;
  const ber::Oid states = testing::InView({1, 2, 11, 1, 4});
  const ber::Oid addresses = testing::InView({1, 2, 12, 1, 2});
  auto under = [](const ber::Oid& prefix, const ber::Oid& name) {
    return name.size() > prefix.size() && std::equal(prefix.begin(), prefix.end(), name.begin());
  };
  std::map<std::int64_t, std::int64_t> shownStates;
  std::map<std::int64_t, std::string> shownAddresses;
  for (const ber::Binding& b : walk) {
    if (under(states, b.name)) shownStates[b.name.back()] = ber::AsNumber(b.value).value_or(-1);
    if (under(addresses, b.name) && b.value.content.size() == 4) {
      const auto& a = b.value.content;
      shownAddresses[b.name[addresses.size()]] = std::to_string(static_cast<unsigned char>(a[0])) + "." +
                                                 std::to_string(static_cast<unsigned char>(a[1])) + "." +
                                                 std::to_string(static_cast<unsigned char>(a[2])) + "." +
                                                 std::to_string(static_cast<unsigned char>(a[3]));
    }
  }
  std::map<std::int64_t, std::string> shown = ShownNodeNames(walk);
  std::map<std::int64_t, std::string> expected = VisibleNames();
  if (shown != expected) return DescribeNodeNames(shown, expected);
  for (const auto& [row, name] : expected) {
    std::int64_t state = ExpectedState(name);
    if (shownStates[row] != state) {
      return "row " + std::to_string(row) + " (" + name + ") shows state " + std::to_string(shownStates[row]) +
             ", the world gives " + std::to_string(state);
    }
    if (state != 1) {
      std::string address = "192.0.2." + std::to_string(10 + Number(name));
      if (shownAddresses[row] != address) {
        return "row " + std::to_string(row) + " (" + name + ") shows address " + shownAddresses[row] + ", not " +
               address;
      }
    }
  }
  return {};
}

}  // namespace velmond::soak
