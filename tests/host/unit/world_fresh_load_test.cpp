// A live edit is exactly a fresh load: random sequences of world edits are
// applied one after another, and after each one the platform's world must
// dump the same as a fresh load of the same text. A failure names the seed;
// VELMOND_FRESH_LOAD_SEED=N runs the sequences from seed N.
#include <gtest/gtest.h>
#include <velplat/faults.h>
#include <velplat/world.h>

#include <cstdlib>
#include <functional>
#include <map>
#include <random>
#include <sstream>

#include "host/world/world_apply.h"
#include "host/world/world_dump.h"
#include "host/world/world_parse.h"

#ifndef VELMOND_FRESH_LOAD_SEQUENCES
#define VELMOND_FRESH_LOAD_SEQUENCES 200
#endif

namespace velmond {
namespace {

// A world as the generator edits it: machine -> section -> entry -> the
// lines written under it. Rendering turns it into a world file.
using Lines = std::vector<std::string>;
struct Draft {
  std::map<std::string, std::map<std::string, std::map<std::string, Lines>>> machines;
  std::map<std::string, Lines> faults;
  std::map<std::string, Lines> cluster;  // "kind:name" -> lines
};

const char* const kMachines[] = {"m0", "m1", "m2"};  // m0 is local and stays
// Nested, standard (HKLM\SOFTWARE, ComputerName), and below a service's key.
const char* const kKeys[] = {"HKLM\\SOFTWARE\\A",
                             "HKLM\\SOFTWARE\\A\\B\\C",
                             "HKLM\\SOFTWARE\\A\\B\\D",
                             "HKLM\\SOFTWARE\\E\\F\\G",
                             "HKLM\\SOFTWARE",
                             "HKLM\\SYSTEM\\CurrentControlSet\\Control\\ComputerName\\ComputerName",
                             "HKLM\\SYSTEM\\CurrentControlSet\\Services\\Svc1",
                             "HKLM\\SYSTEM\\CurrentControlSet\\Services\\Svc1\\Parameters",
                             "HKU\\S-1-5-18\\Software\\H"};
const char* const kValues[] = {"V1 = \"one\"", "V1 = 7", "V2 = [\"a\", \"b\"]", "ComputerName = \"renamed\"",
                               "Start = 2", "\"@\" = \"default\""};
const char* const kServices[] = {"Svc1", "Svc2"};
const char* const kServiceLines[] = {"state = \"running\"", "state = \"paused\"", "display_name = \"Shown\"",
                                     "start_type = \"auto\"", "image_path = 'C:\\s.exe'", "depends_on = [\"Svc2\"]",
                                     "start_ms = 500"};
const char* const kAccounts[] = {"u1", "u2"};
const char* const kAccountLines[] = {"password = \"p\"", "comment = \"c\"", "disabled = true",
                                     "groups = [\"Administrators\"]", "groups = [\"Ops\", \"Administrators\"]",
                                     "groups = [\"Ops\"]"};
const char* const kFiles[] = {"'C:\\a\\b.txt'", "'C:\\a\\c\\d.txt'", "'C:\\x.txt'", "'D:\\deep\\er\\f.txt'"};
const char* const kFileLines[] = {"\"one\"", "\"two\"", "{ version = \"1.2.3.4\" }"};
const char* const kVariables[] = {"ORACLE_HOME", "TEMP"};
const char* const kFaults[] = {"call = \"RegOpenKeyExA\"", "call = \"CreateFileA\"", "point = \"allocation\"",
                               "point = \"thread_start\""};
const char* const kFaultLines[] = {"count = 2", "skip = 1", "thread = \"MainTrapThread\"", "count = 0"};
// One cluster's objects, "kind:name"; a node is the machine of that name,
// an interface joins that machine's node to network N1. Objects whose
// machine, group or network is missing are left out of the text.
const char* const kClusterObjects[] = {"nodes:m0",     "nodes:m1",      "nodes:m2",      "groups:G1",
                                       "groups:G2",    "resources:R1",  "resources:R2",  "networks:N1",
                                       "networks:N2",  "interfaces:m0", "interfaces:m1", "interfaces:m2"};
const char* const kClusterLines[] = {"state = \"paused\"",
                                     "state = \"down\"",
                                     "parameters = { Address = \"10.0.0.9\" }",
                                     "parameters = { Address = \"10.0.0.8\", SubnetMask = \"255.0.0.0\" }",
                                     "address_mask = \"255.255.0.0\"",
                                     "address = \"10.0.0.7\"",
                                     "build = 2195"};

// Each section of a machine: its table name and the entries and lines the
// generator picks from. A module of the world joins with one more row.
struct Section {
  std::string table;
  std::vector<std::string> entries;
  std::vector<std::string> lines;
};
std::vector<Section> Sections() {
  auto all = [](const auto& list) { return std::vector<std::string>(std::begin(list), std::end(list)); };
  return {{"registry", all(kKeys), all(kValues)},     {"services", all(kServices), all(kServiceLines)},
          {"accounts", all(kAccounts), all(kAccountLines)}, {"files", all(kFiles), all(kFileLines)},
          {"environment", all(kVariables), {"\"x\"", "\"y\""}}};
}

class Generator {
 public:
  explicit Generator(unsigned seed) : random_(seed), sections_(Sections()) { draft_.machines["m0"]; }

  template <class List>
  const auto& Pick(const List& list) {
    return list[std::uniform_int_distribution<size_t>(0, std::size(list) - 1)(random_)];
  }
  bool Chance(int percent) { return std::uniform_int_distribution<int>(0, 99)(random_) < percent; }

  // One random edit: a machine, an entry, a line or a fault added, changed
  // or removed.
  void Edit() {
    std::string machine = Pick(kMachines);
    int what = std::uniform_int_distribution<int>(0, 9)(random_);
    if (what == 0 && machine != "m0") {
      if (draft_.machines.count(machine)) draft_.machines.erase(machine);
      else draft_.machines[machine];
      return;
    }
    if (what == 1) {
      EditEntry(draft_.faults, Pick(kFaults), std::vector<std::string>(std::begin(kFaultLines), std::end(kFaultLines)));
      return;
    }
    if (what == 2 || what == 3) {
      EditEntry(draft_.cluster, Pick(kClusterObjects),
                std::vector<std::string>(std::begin(kClusterLines), std::end(kClusterLines)));
      return;
    }
    const Section& section = Pick(sections_);
    EditEntry(draft_.machines[machine][section.table], Pick(section.entries), section.lines);
  }

  std::string Render() const {
    std::ostringstream text;
    text << "local = \"m0\"\n";
    for (const auto& [fault, lines] : draft_.faults) {
      text << "[[faults]]\n" << fault << "\n";
      if (fault.find("call") == 0) text << "error = \"ERROR_ACCESS_DENIED\"\n";
      for (const std::string& line : lines) text << line << "\n";
    }
    RenderCluster(text);
    for (const auto& [machine, sections] : draft_.machines) {
      text << "[machine." << machine << "]\n";
      for (const auto& [table, entries] : sections) {
        bool flat = table == "files" || table == "environment";
        if (flat) text << "[machine." << machine << "." << table << "]\n";
        for (const auto& [entry, lines] : entries) {
          if (flat) {
            text << entry << " = " << (lines.empty() ? "\"\"" : lines.back()) << "\n";
            continue;
          }
          text << "[machine." << machine << "." << table << "." << (table == "registry" ? "'" + entry + "'" : entry)
               << "]\n";
          for (const std::string& line : lines) text << line << "\n";
        }
      }
    }
    return text.str();
  }

 private:
  // Each line applies only to the kinds that have its key.
  static bool Fits(const std::string& kind, const std::string& line) {
    if (line.rfind("state", 0) == 0) return kind == "nodes";
    if (line.rfind("parameters", 0) == 0) return kind == "resources";
    if (line.rfind("address_mask", 0) == 0) return kind == "networks";
    if (line.rfind("address", 0) == 0) return kind == "interfaces";
    return false;
  }

  void RenderCluster(std::ostringstream& text) const {
    auto has = [&](const std::string& object) { return draft_.cluster.count(object) > 0; };
    auto machine = [&](const std::string& name) { return draft_.machines.count(name) > 0; };
    std::ostringstream objects;
    bool anyNode = false;
    std::string build;
    for (const auto& [object, lines] : draft_.cluster) {
      std::string kind = object.substr(0, object.find(':')), name = object.substr(object.find(':') + 1);
      if (kind == "nodes") {
        if (!machine(name)) continue;
        anyNode = true;
        objects << "[[cluster.C1.nodes]]\nname = \"" << name << "\"\nid = \"" << 1 + (name[1] - '0') << "\"\n";
      } else if (kind == "groups") {
        objects << "[[cluster.C1.groups]]\nname = \"" << name << "\"\n";
      } else if (kind == "resources") {
        std::string group = name == "R1" ? "G1" : "G2";
        if (!has("groups:" + group)) continue;
        objects << "[[cluster.C1.resources]]\nname = \"" << name << "\"\ntype = \"IP Address\"\ngroup = \"" << group
                << "\"\n";
      } else if (kind == "networks") {
        objects << "[[cluster.C1.networks]]\nname = \"" << name << "\"\naddress = \"10.0.0.0\"\n";
      } else {
        if (!machine(name) || !has("nodes:" + name) || !has("networks:N1")) continue;
        objects << "[[cluster.C1.interfaces]]\nnode = \"" << name << "\"\nnetwork = \"N1\"\n";
      }
      for (const std::string& line : lines) {
        if (line.rfind("build", 0) == 0) build = line;
        else if (Fits(kind, line)) objects << line << "\n";
      }
    }
    if (!anyNode) return;
    text << "[cluster.C1]\n" << build << "\n" << objects.str();
  }

  // Adds the entry, removes it, or adds, replaces or removes one of its
  // lines (a line whose key the entry has already replaces it).
  void EditEntry(std::map<std::string, Lines>& entries, const std::string& entry, const std::vector<std::string>& pool) {
    auto found = entries.find(entry);
    if (found == entries.end()) {
      entries[entry];
      return;
    }
    if (Chance(40)) {
      entries.erase(found);
      return;
    }
    Lines& lines = found->second;
    std::string line = Pick(pool);
    std::string key = line.substr(0, line.find(" = "));
    for (auto it = lines.begin(); it != lines.end(); ++it) {
      if (it->substr(0, it->find(" = ")) == key) {
        if (*it == line || Chance(30)) lines.erase(it);
        else *it = line;
        return;
      }
    }
    lines.push_back(line);
  }

  std::mt19937 random_;
  std::vector<Section> sections_;
  Draft draft_;
};

WorldModel Load(const std::string& text) {
  ParsedWorld parsed = ParseWorldText(text, "w.toml", ".");
  if (!parsed.world) ADD_FAILURE() << parsed.error << "\n" << text;
  return parsed.world ? *parsed.world : WorldModel{};
}

// An empty platform whose local machine is the world's.
void Restart(const WorldModel& world) {
  velplat::faults::Clear();
  PrepareLocalMachine(world);
  velplat::World::Get().Reset();
}

std::string FreshDump(const std::string& text) {
  WorldModel world = Load(text);
  Restart(world);
  ApplyWorld(nullptr, world);
  return DumpWorld();
}

std::string FirstDifference(const std::string& live, const std::string& fresh) {
  std::istringstream a(live), b(fresh);
  std::string x, y;
  while (true) {
    bool more = static_cast<bool>(std::getline(a, x)), other = static_cast<bool>(std::getline(b, y));
    if (!more && !other) return "none";
    if (!more || !other || x != y) return "live:  " + (more ? x : "<end>") + "\nfresh: " + (other ? y : "<end>");
  }
}

TEST(WorldFreshLoad, EveryLiveEditLeavesTheWorldAFreshLoadWouldBuild) {
  const char* given = std::getenv("VELMOND_FRESH_LOAD_SEED");
  const unsigned first = given ? static_cast<unsigned>(std::strtoul(given, nullptr, 10)) : 17u;
  constexpr int kEdits = 24;
  for (unsigned seed = first; seed < first + VELMOND_FRESH_LOAD_SEQUENCES; ++seed) {
    Generator generator(seed);
    std::vector<std::string> texts;
    for (int i = 0; i <= kEdits; ++i) {
      if (i > 0) generator.Edit();
      texts.push_back(generator.Render());
    }
    std::vector<std::string> fresh;
    for (const std::string& text : texts) fresh.push_back(FreshDump(text));

    WorldModel current = Load(texts[0]);
    Restart(current);
    ApplyWorld(nullptr, current);
    for (int i = 1; i <= kEdits; ++i) {
      WorldModel next = Load(texts[i]);
      ApplyReport report = ApplyWorld(&current, next);
      current = std::move(next);
      std::string live = DumpWorld();
      if (live != fresh[i] || !report.problems.empty()) {
        FAIL() << "seed " << seed << ", edit " << i << " (VELMOND_FRESH_LOAD_SEED=" << seed << ")\n"
               << FirstDifference(live, fresh[i]) << "\n"
               << (report.problems.empty() ? "" : "problem: " + report.problems.front() + "\n") << "before:\n"
               << texts[i - 1] << "after:\n"
               << texts[i];
      }
    }
  }
  velplat::faults::Clear();
}

}  // namespace
}  // namespace velmond
