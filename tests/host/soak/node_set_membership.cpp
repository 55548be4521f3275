// The node-set rules, and the MSCS and Brennic worlds the soak writes.
#include "host/soak/node_set_membership.h"

#include <algorithm>
#include <sstream>

namespace velmond::soak {
namespace {

constexpr std::size_t kMostMembers = 5;
constexpr int kFirstNumber = 101;
constexpr int kLastNumber = 180;  // addresses end in number - 100: 1 .. 80

std::string Octet(int number) { return std::to_string(number - 100); }

}  // namespace

NodeSetMembership::NodeSetMembership(std::string prefix, int members, bool shownAtStart)
    : prefix_(std::move(prefix)), lastNumber_(kFirstNumber + members - 1), shown_(shownAtStart) {
  for (int i = 0; i < members; ++i) members_.push_back({prefix_ + std::to_string(kFirstNumber + i), kFirstNumber + i});
  created_ = LiveEntries();
}

std::string NodeSetMembership::NewName(int& number) {
  for (;;) {
    lastNumber_ = lastNumber_ == kLastNumber ? kFirstNumber + 1 : lastNumber_ + 1;
    bool taken = std::any_of(members_.begin(), members_.end(), [&](const Member& m) { return m.number == lastNumber_; });
    if (!taken) {
      number = lastNumber_;
      return prefix_ + std::to_string(number);
    }
  }
}

std::string NodeSetMembership::Edit(std::mt19937& random) {
  if (!shown_) created_ += 2 * static_cast<std::int64_t>(members_.size());
  shown_ = true;  // every edit changes something under the Brennic database key
  switch (std::uniform_int_distribution<int>(0, 3)(random)) {
    case 0:
      if (members_.size() > 1) {
        Member& member = members_[std::uniform_int_distribution<std::size_t>(1, members_.size() - 1)(random)];
        std::string old = member.name;
        rows_.erase(old);
        member.name = NewName(member.number);
        member.changed = false;
        created_ += 2;
        return "renamed " + old + " to " + member.name;
      }
      [[fallthrough]];
    case 1:
      if (members_.size() < kMostMembers) {
        Member member;
        member.name = NewName(member.number);
        members_.push_back(member);
        created_ += 2;
        return "added " + member.name;
      }
      [[fallthrough]];
    case 2:
      if (members_.size() > 1) {
        auto at = members_.begin() + std::uniform_int_distribution<std::ptrdiff_t>(
                                         1, static_cast<std::ptrdiff_t>(members_.size()) - 1)(random);
        std::string old = at->name;
        rows_.erase(old);
        members_.erase(at);
        return "removed " + old;
      }
      [[fallthrough]];
    default: {
      Member& member = members_[std::uniform_int_distribution<std::size_t>(0, members_.size() - 1)(random)];
      member.changed = !member.changed;
      return "changed the state of " + member.name;
    }
  }
}

std::string NodeSetMembership::Check(const std::vector<testing::ber::Binding>& walk) {
  std::map<std::int64_t, std::string> shown = ShownNodeNames(walk);
  std::vector<std::string> shownNames, memberNames;
  for (const auto& [row, name] : shown) shownNames.push_back(name);
  if (shown_) {
    for (const Member& member : members_) memberNames.push_back(member.name);
  }
  std::sort(shownNames.begin(), shownNames.end());
  std::sort(memberNames.begin(), memberNames.end());
  if (shownNames != memberNames) {
    std::string text = "node names shown:";
    for (const auto& [row, name] : shown) text += " " + std::to_string(row) + "=" + name;
    text += "; the members in force:";
    for (const std::string& name : memberNames) text += " " + name;
    return text;
  }
  for (const auto& [row, name] : shown) {
    auto kept = rows_.find(name);
    if (kept != rows_.end() && kept->second != row) {
      return name + " moved from row " + std::to_string(kept->second) + " to row " + std::to_string(row);
    }
    if (kept == rows_.end() && row <= highestRow_) {
      return name + " joined at row " + std::to_string(row) + ", not after every row so far (" +
             std::to_string(highestRow_) + ")";
    }
  }
  for (const auto& [row, name] : shown) {
    rows_[name] = row;
    highestRow_ = std::max(highestRow_, row);
  }
  return {};
}

std::int64_t NodeSetMembership::LiveEntries() const {
  return shown_ ? 2 * static_cast<std::int64_t>(members_.size()) + 1 : 1;
}

std::string MscsMembership::WorldText() const {
  std::ostringstream text;
  // The discovery thread's wait for the Oracle key must end in an error
  // before it tries MSCS; an edit that keeps this table does not re-arm it.
  text << "[[faults]]\ncall = \"RegNotifyChangeKeyValue\"\nerror = \"ERROR_ACCESS_DENIED\"\ncount = 1\n\n";
  for (const Member& member : Members()) {
    text << "[machine." << member.name << "]\n";
    if (&member == &Members().front()) text << "local = true\n";
    text << "addresses = [\"192.0.2." << Octet(member.number) << "\"]\n\n";
  }
  text << "[cluster.VELCLUS]\nmajor_version = 4\nminor_version = 0\nbuild = 1381\n"
       << "vendor_id = \"Microsoft Cluster Server\"\ncsd_version = \"Service Pack 6\"\n\n";
  for (const Member& member : Members()) {
    text << "[[cluster.VELCLUS.nodes]]\nname = \"" << member.name << "\"\nid = \"" << member.number << "\"\n"
         << "state = \"" << (member.changed ? "paused" : "up") << "\"\n\n";
  }
  text << "[[cluster.VELCLUS.groups]]\nname = \"Cluster Group\"\n\n"
       << "[[cluster.VELCLUS.resources]]\nname = \"Cluster IP Address\"\ntype = \"IP Address\"\n"
       << "group = \"Cluster Group\"\nparameters = { Address = \"192.0.2.200\", SubnetMask = \"255.255.255.0\", "
       << "Network = \"Public\", EnableNetBIOS = 1 }\n\n"
       << "[[cluster.VELCLUS.networks]]\nname = \"Public\"\naddress = \"192.0.2.0\"\n"
       << "address_mask = \"255.255.255.0\"\n\n";
  for (const Member& member : Members()) {
    text << "[[cluster.VELCLUS.interfaces]]\nnode = \"" << member.name << "\"\nnetwork = \"Public\"\n"
         << "address = \"192.0.2." << Octet(member.number) << "\"\n\n";
  }
  return text.str();
}

std::string BrennicMembership::WorldText() const {
  const std::string local = Members().front().name;
  const std::string database = R"(HKLM\SYSTEM\CurrentControlSet\Services\Kestd\Database)";
  std::ostringstream text;
  for (const Member& member : Members()) {
    text << "[machine." << member.name << "]\n";
    if (&member == &Members().front()) text << "local = true\n";
    text << "addresses = [\"198.51.100." << Octet(member.number) << "\"]\n\n";
  }
  text << "[machine." << local
       << R"(.registry.'HKLM\SOFTWARE\Brennicorp\Brennic Clusters for Windows NT\CurrentVersion'])" << "\n\n"
       << "[machine." << local << R"(.registry.'HKLM\SYSTEM\CurrentControlSet\Services\Kestavar\Parameters'])"
       << "\nClusterName = \"BRENCLUS\"\n\n"
       << "[machine." << local << ".registry.'" << database << "']\nGeneration = " << generation_ << "\n\n";
  for (const Member& member : Members()) {
    text << "[machine." << local << ".registry.'" << database << "\\Nodes\\" << member.name << "\\Global']\n"
         << "Comment = \"" << (member.changed ? "Standby" : "Failover") << " node\"\n\n";
  }
  for (const char* service : {"Kestavar", "Kestd"}) {
    text << "[machine." << local << ".services." << service << "]\n"
         << "display_name = \"" << service << "\"\n"
         << "image_path = 'C:\\Brennic\\bin\\" << service << ".exe'\nstart_type = \"auto\"\nstate = \"running\"\n\n";
  }
  return text.str();
}

std::string BrennicMembership::Nudge() {
  return "wrote Generation = " + std::to_string(++generation_);
}

}  // namespace velmond::soak
