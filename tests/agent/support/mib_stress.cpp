#include "agent/support/mib_stress.h"

#include "agent/support/snmp_request.h"

#include <velplat/clock.h>

#include <atomic>
#include <cstring>
#include <cstdlib>
#include <map>
#include <mutex>
#include <optional>
#include <set>
#include <sstream>
#include <thread>

namespace velmon::test {
namespace {

using Clock = std::chrono::steady_clock;
using Name = std::vector<UINT>;

constexpr size_t kViewArcs = 12;
constexpr size_t kMaxText = 255;
constexpr size_t kWalkLimit = 100000;
constexpr size_t kMaxFaults = 20;

enum class Kind { kScalar, kClusterAddress, kNode, kNodeAddress };

// One instance of the MIB, told by its name.
struct Cell {
  Kind kind;
  UINT column;  // the variable's arc (scalars) or the table column
  UINT row;     // 0 for scalars
  BYTE type;    // the column's ASN type
};

std::optional<BYTE> ScalarType(UINT group, UINT variable) {
  if (group == 1) return variable == 1 || variable == 2 ? std::optional<BYTE>(ASN_INTEGER) : std::nullopt;
  switch (variable) {
    case 1: case 2: case 7: case 9: return ASN_OCTETSTRING;
    case 3: case 4: case 6: return ASN_INTEGER;
    case 5: return ASN_OBJECTIDENTIFIER;
    default: return std::nullopt;
  }
}

// The cell a full name designates, or none when it is no instance of the MIB.
std::optional<Cell> CellOf(const Name& name) {
  static const Name view = Under("");
  if (name.size() <= kViewArcs || !std::equal(view.begin(), view.end(), name.begin())) return std::nullopt;
  Name r(name.begin() + kViewArcs, name.end());
  if (r.size() == 4 && r[0] == 1 && (r[1] == 1 || r[1] == 2) && r[3] == 0) {
    auto type = ScalarType(r[1], r[2]);
    if (!type) return std::nullopt;
    return Cell{Kind::kScalar, r[2], 0, *type};
  }
  if (r.size() < 6 || r[0] != 1 || r[1] != 2 || r[3] != 1) return std::nullopt;
  const UINT table = r[2], column = r[4], row = r[5];
  if (table == 8 && r.size() == 6 && (column == 1 || column == 2))
    return Cell{Kind::kClusterAddress, column, row, column == 1 ? BYTE{ASN_INTEGER} : BYTE{ASN_IPADDRESS}};
  if (table == 11 && r.size() == 6 && column >= 1 && column <= 4)
    return Cell{Kind::kNode, column, row, column == 1 || column == 4 ? BYTE{ASN_INTEGER} : BYTE{ASN_OCTETSTRING}};
  if (table == 12 && r.size() == 7 && (column == 1 || column == 2) && (r[6] == 1 || (r[6] >= 3 && r[6] <= row)))
    return Cell{Kind::kNodeAddress, column, row, column == 1 ? BYTE{ASN_INTEGER} : BYTE{ASN_IPADDRESS}};
  return std::nullopt;
}

std::string Text(const AsnAny& value) {
  return std::string(reinterpret_cast<const char*>(value.asnValue.string.stream), value.asnValue.string.length);
}

DWORD Address(const AsnAny& value) {
  DWORD address = 0;
  if (value.asnValue.address.length == 4) std::memcpy(&address, value.asnValue.address.stream, 4);
  return address;
}

Name NameOf(const RFC1157VarBind& binding) { return Name(binding.name.ids, binding.name.ids + binding.name.idLength); }

int Compare(const Name& a, const Name& b) {
  AsnObjectIdentifier x{static_cast<UINT>(a.size()), const_cast<UINT*>(a.data())};
  AsnObjectIdentifier y{static_cast<UINT>(b.size()), const_cast<UINT*>(b.data())};
  return SnmpUtilOidCmp(&x, &y);
}

std::string Show(const Name& name) {
  AsnObjectIdentifier oid{static_cast<UINT>(name.size()), const_cast<UINT*>(name.data())};
  return Relative(oid);
}

Name Column(UINT table, UINT column, UINT row, bool subIndex) {
  Name name = Under("1.2." + std::to_string(table) + ".1." + std::to_string(column) + "." + std::to_string(row));
  if (subIndex) name.push_back(1);
  return name;
}

// What all request threads have seen, and the faults found.
class Shared {
 public:
  explicit Shared(const StressRules& rules) : rules_(rules) {}

  void Fault(const std::string& what) {
    std::lock_guard lock(mutex_);
    if (faults_.size() < kMaxFaults) faults_.push_back(what);
  }
  // A row's name never changes while the row exists.
  void NodeName(UINT row, const std::string& name) {
    std::lock_guard lock(mutex_);
    auto [at, added] = nodeNames_.emplace(row, name);
    if (!added && at->second != name && faults_.size() < kMaxFaults)
      faults_.push_back("node row " + std::to_string(row) + " was '" + at->second + "', now '" + name + "'");
  }
  void NodeAddress(UINT row, DWORD address) {
    if (address == 0) return;  // also the answer for a row that has just gone
    std::lock_guard lock(mutex_);
    auto [at, added] = nodeAddresses_.emplace(row, address);
    if (!added && at->second != address && faults_.size() < kMaxFaults)
      faults_.push_back("node address row " + std::to_string(row) + " changed its address");
  }
  std::vector<std::string> Faults() {
    std::lock_guard lock(mutex_);
    return faults_;
  }

  const StressRules& rules_;
  std::atomic<uint64_t> requests{0};
  std::atomic<uint64_t> walks{0};
  std::atomic<uint64_t> rowReads{0};
  std::atomic<uint64_t> goneRows{0};

 private:
  std::mutex mutex_;
  std::map<UINT, std::string> nodeNames_;
  std::map<UINT, DWORD> nodeAddresses_;
  std::vector<std::string> faults_;
};

// One request thread: its own order of observations, so that "gone, then
// present again" is judged on what this thread saw in sequence.
class Client {
 public:
  Client(Shared& shared, unsigned seed) : shared_(shared), random_(seed) {}

  void Run(const std::atomic<bool>& stop) {
    while (!stop.load()) {
      Walk(stop);
      shared_.walks++;
    }
  }

 private:
  int Query(Request& request, BYTE type) {
    request.Run(type);
    shared_.requests++;
    return request.status;
  }

  // Type, shape and length of one answered binding; records what it shows
  // of its row. False when the binding answers its row gone.
  bool CheckValue(const Cell& cell, const RFC1157VarBind& binding) {
    const std::string where = Show(NameOf(binding));
    if (binding.value.asnType != cell.type) {
      shared_.Fault(where + " answered ASN type " + std::to_string(binding.value.asnType));
      return true;
    }
    if (cell.type == ASN_OCTETSTRING && binding.value.asnValue.string.length > kMaxText)
      shared_.Fault(where + " answered " + std::to_string(binding.value.asnValue.string.length) + " bytes");
    if (cell.type == ASN_IPADDRESS && binding.value.asnValue.address.length != 4)
      shared_.Fault(where + " answered an address of " + std::to_string(binding.value.asnValue.address.length) +
                    " bytes");
    if (cell.kind == Kind::kNode) return CheckNodeCell(cell, binding, where);
    if (cell.kind == Kind::kNodeAddress) {
      if (cell.column == 2) shared_.NodeAddress(cell.row, Address(binding.value));
      if (cell.column == 1) {
        LONG state = binding.value.asnValue.number;
        if (state != 1 && state != 0) shared_.Fault(where + " answered address state " + std::to_string(state));
        return state == 1;
      }
    }
    return true;
  }

  bool CheckNodeCell(const Cell& cell, const RFC1157VarBind& binding, const std::string& where) {
    if (cell.column == 1) {
      UINT number = static_cast<UINT>(binding.value.asnValue.number);
      if (number != cell.row && number != 0) shared_.Fault(where + " answered node number " + std::to_string(number));
      return number == cell.row;
    }
    if (cell.column == 2) {
      std::string name = Text(binding.value);
      if (name.size() > shared_.rules_.maxNodeNameLength)
        shared_.Fault(where + " answered a name of " + std::to_string(name.size()) + " characters");
      if (name.empty()) return false;
      shared_.NodeName(cell.row, name);
    }
    return true;
  }

  void Seen(std::set<UINT>& gone, UINT row, bool present, const std::string& where) {
    if (!present) {
      shared_.goneRows++;
      if (shared_.rules_.rowsStay) shared_.Fault(where + ": a row that stays answered gone");
      gone.insert(row);
    } else if (gone.count(row)) {
      shared_.Fault(where + ": row " + std::to_string(row) + " came back after it had gone");
    }
  }

  // All columns of one row in ONE request: answered from the row up to the
  // binding where it went, gone from there on.
  void ReadRow(Kind kind, UINT row) {
    const bool node = kind == Kind::kNode;
    std::vector<Name> names;
    for (UINT column = 1; column <= (node ? 4u : 2u); ++column)
      names.push_back(Column(node ? 11 : 12, column, row, !node));
    Request request(names);
    const int status = Query(request, SNMP_PDU_GET);
    shared_.rowReads++;
    const std::string where = "row read " + Show(names[0]);
    size_t answered = names.size();
    if (status == SNMP_ERRORSTATUS_NOSUCHNAME && request.index >= 1 &&
        static_cast<size_t>(request.index) <= names.size()) {
      answered = static_cast<size_t>(request.index) - 1;
    } else if (status != SNMP_ERRORSTATUS_NOERROR) {
      shared_.Fault(where + " answered status " + std::to_string(status) + " at " + std::to_string(request.index));
      return;
    }
    bool present = true;
    for (size_t i = 0; i < answered; ++i) {
      bool here = CheckValue(*CellOf(names[i]), request[i]);
      // The name, the number and the address state tell presence; the other
      // columns answer plausible values either way.
      bool telling = node ? i <= 1 : i == 0;
      if (!telling) continue;
      if (here && !present) shared_.Fault(where + ": binding " + std::to_string(i + 1) + " answered a gone row");
      present = present && here;
    }
    if (answered < names.size()) present = false;
    Seen(node ? goneNodes_ : goneAddresses_, row, present, where);
  }

  void GetCell(const Name& name) {
    std::optional<Cell> cell = CellOf(name);
    Request request({name});
    const int status = Query(request, SNMP_PDU_GET);
    if (status == SNMP_ERRORSTATUS_NOERROR) {
      bool present = CheckValue(*cell, request[0]);
      if (cell->kind == Kind::kNode && (cell->column == 1 || cell->column == 2))
        Seen(goneNodes_, cell->row, present, "get " + Show(name));
      return;
    }
    bool mayGo = cell->kind != Kind::kScalar && !shared_.rules_.rowsStay && cell->kind != Kind::kClusterAddress;
    if (status != SNMP_ERRORSTATUS_NOSUCHNAME || !mayGo)
      shared_.Fault("get " + Show(name) + " answered status " + std::to_string(status));
  }

  void Walk(const std::atomic<bool>& stop) {
    static const Name endOfView = Arcs(kEndOfView);
    Name name = Under("");
    for (size_t step = 0; step < kWalkLimit; ++step) {
      Request request({name});
      const int status = Query(request, SNMP_PDU_GETNEXT);
      if (status != SNMP_ERRORSTATUS_NOERROR) {
        shared_.Fault("getnext " + Show(name) + " answered status " + std::to_string(status));
        return;
      }
      Name next = NameOf(request[0]);
      if (Compare(next, name) <= 0) {
        shared_.Fault("getnext " + Show(name) + " went back to " + Show(next));
        return;
      }
      if (next == endOfView) return;
      std::optional<Cell> cell = CellOf(next);
      if (!cell) {
        shared_.Fault("getnext " + Show(name) + " answered " + Show(next) + ", no instance of the MIB");
        return;
      }
      bool present = CheckValue(*cell, request[0]);
      if (cell->kind == Kind::kNode && cell->column == 1) {
        Seen(goneNodes_, cell->row, present, "walk " + Show(next));
        ReadRow(Kind::kNode, cell->row);
      } else if (cell->kind == Kind::kNodeAddress && cell->column == 1) {
        Seen(goneAddresses_, cell->row, present, "walk " + Show(next));
        ReadRow(Kind::kNodeAddress, cell->row);
      }
      Remember(next);
      if (random_() % 4 == 0) GetCell(cells_[random_() % cells_.size()]);
      if (stop.load()) return;
      name = next;
    }
    shared_.Fault("a walk did not end within " + std::to_string(kWalkLimit) + " steps");
  }

  void Remember(const Name& name) {
    if (cells_.size() < 64)
      cells_.push_back(name);
    else
      cells_[random_() % cells_.size()] = name;
  }

  Shared& shared_;
  std::mt19937 random_;
  std::vector<Name> cells_;
  std::set<UINT> goneNodes_;
  std::set<UINT> goneAddresses_;
};

}  // namespace

std::chrono::milliseconds StressDuration() {
  if (const char* text = std::getenv("VELMON_STRESS_SECONDS")) {
    double seconds = std::atof(text);
    if (seconds > 0) return std::chrono::milliseconds(static_cast<long long>(seconds * 1000));
  }
  return std::chrono::seconds(3);
}

StressResult RunMibStress(const StressRules& rules, std::chrono::milliseconds duration,
                          const std::function<void(std::mt19937&)>& churnStep) {
  Shared shared(rules);
  std::atomic<bool> stop{false};
  std::atomic<uint64_t> churnSteps{0};
  const auto deadline = Clock::now() + duration;

  // Entries' watchers sleep 20 s and the back-ends wait with timeouts: keep
  // virtual time moving so that they wake, find their stop flags and end.
  std::thread driver([&] {
    while (!stop.load()) {
      if (velplat::clock::IsVirtual()) velplat::clock::Advance(std::chrono::seconds(1));
      std::this_thread::sleep_for(std::chrono::milliseconds(2));
    }
  });
  std::thread churn([&] {
    std::mt19937 random(7);
    while (Clock::now() < deadline) {
      churnStep(random);
      churnSteps++;
    }
  });
  std::vector<std::thread> clients;
  for (int i = 0; i < rules.requestThreads; ++i)
    clients.emplace_back([&shared, &stop, i] { Client(shared, 101u + static_cast<unsigned>(i)).Run(stop); });
  churn.join();
  stop = true;
  for (auto& client : clients) client.join();
  driver.join();

  StressResult result;
  result.requests = shared.requests.load();
  result.walks = shared.walks.load();
  result.rowReads = shared.rowReads.load();
  result.goneRows = shared.goneRows.load();
  result.churnSteps = churnSteps.load();
  result.faults = shared.Faults();
  return result;
}

std::string Summary(const StressResult& result) {
  std::ostringstream out;
  out << result.requests << " requests, " << result.walks << " walks, " << result.rowReads << " whole-row reads, "
      << result.goneRows << " answers of rows gone meanwhile, " << result.churnSteps << " churn steps";
  return out.str();
}

}  // namespace velmon::test
