// Fuzzes SnmpExtensionQuery against a populated MIB: an Oracle RAC cluster of
// three members, discovered once at start-up in virtual time. Each input
// decodes into a request with any request type, any names and any values
// (fuzz/request_decoder.h), and the answer is checked:
//  - TRUE, and an error status/index pair that points into the list;
//  - the failing binding and those after it keep their name and value, and
//    so does every binding of a Set or of an unknown request type;
//  - a Get answer keeps its name and carries a well-formed value;
//  - a GetNext answer is either the end of the view (value untouched) or an
//    instance of the view that sorts after the request and that a Get
//    answers with the same value (except node address sub-indexes that the
//    table's stepping rule leaves unreadable, see SteppedSubIndex);
//  - the list frees cleanly afterwards (ASan/LSan watch the ownership).
#include <snmp.h>
#include <velplat/clock.h>

#include "agent/cluster_attributes.h"
#include "backends/oracle/support/oracle_world.h"
#include "discovery/watch_tables.h"
#include "fuzz/request_decoder.h"

#include <algorithm>
#include <csignal>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <vector>

namespace {

using velmon::fuzz::HoldsOctets;
using velmon::fuzz::kViewArcCount;
using velmon::fuzz::kViewArcs;

// Names the broken invariant by its line before the trap that libFuzzer
// reports.
[[noreturn]] void Violated(int line = __builtin_LINE()) {
  std::fprintf(stderr, "snmp_query_fuzzer: invariant at line %d broken\n", line);
  __builtin_trap();
}
void Require(bool condition, int line = __builtin_LINE()) {
  if (!condition) Violated(line);
}

// A deep copy of one binding, to compare against after the call.
struct Copy {
  std::vector<UINT> name;
  BYTE type;
  std::vector<BYTE> bytes;  // octets, object arcs as bytes, or the union
};

Copy CopyOf(const RFC1157VarBind& binding) {
  Copy copy{std::vector<UINT>(binding.name.ids, binding.name.ids + binding.name.idLength), binding.value.asnType, {}};
  const AsnAny& v = binding.value;
  if (v.asnType == ASN_OBJECTIDENTIFIER) {
    auto* p = reinterpret_cast<const BYTE*>(v.asnValue.object.ids);
    copy.bytes.assign(p, p + v.asnValue.object.idLength * sizeof(UINT));
  } else if (HoldsOctets(v.asnType)) {
    copy.bytes.assign(v.asnValue.string.stream, v.asnValue.string.stream + v.asnValue.string.length);
  } else if (v.asnType != ASN_NULL) {
    // A 32-bit number fills only the union's first four bytes.
    bool narrow = v.asnType == ASN_INTEGER || v.asnType == ASN_COUNTER32 || v.asnType == ASN_GAUGE32 ||
                  v.asnType == ASN_TIMETICKS || v.asnType == ASN_UINTEGER32;
    auto* p = reinterpret_cast<const BYTE*>(&v.asnValue.counter64);
    copy.bytes.assign(p, p + (narrow ? sizeof(AsnInteger32) : sizeof(AsnCounter64)));
  }
  return copy;
}

bool SameAs(const RFC1157VarBind& binding, const Copy& copy) {
  Copy now = CopyOf(binding);
  return now.name == copy.name && now.type == copy.type && now.bytes == copy.bytes;
}

int CompareNames(const std::vector<UINT>& a, const std::vector<UINT>& b) {
  AsnObjectIdentifier x{static_cast<UINT>(a.size()), const_cast<UINT*>(a.data())};
  AsnObjectIdentifier y{static_cast<UINT>(b.size()), const_cast<UINT*>(b.data())};
  return SnmpUtilOidCmp(&x, &y);
}

bool InView(const AsnObjectIdentifier& name) {
  return name.idLength > kViewArcCount && std::equal(kViewArcs, kViewArcs + kViewArcCount, name.ids);
}

bool IsEndOfView(const AsnObjectIdentifier& name) {
  if (name.idLength != kViewArcCount) return false;
  return std::equal(kViewArcs, kViewArcs + kViewArcCount - 1, name.ids) &&
         name.ids[kViewArcCount - 1] == kViewArcs[kViewArcCount - 1] + 1;
}

// The value types this MIB answers with, well formed.
void RequireAnswerValue(const AsnAny& value) {
  switch (value.asnType) {
    case ASN_INTEGER:
      return;
    case ASN_OCTETSTRING:
      Require(value.asnValue.string.length <= 255 && value.asnValue.string.dynamic == TRUE);
      Require(value.asnValue.string.length == 0 || value.asnValue.string.stream);
      return;
    case ASN_IPADDRESS:
      Require(value.asnValue.string.length == 4 && value.asnValue.string.stream && value.asnValue.string.dynamic);
      return;
    case ASN_OBJECTIDENTIFIER:
      Require(value.asnValue.object.idLength == 0 || value.asnValue.object.ids);
      return;
    default:
      Violated();
  }
}

// A node address instance (view.1.2.12.1.c.n.s) whose sub-index s GetNext
// stepped past what Get accepts (1 <= s <= n, s != 2): the table's stepping
// rule only resets the sub-index when it would become 2, so GetNext from
// .c.n.5 answers .c.n.6 and Get refuses that name.
bool SteppedSubIndex(const AsnObjectIdentifier& name) {
  if (name.idLength != kViewArcCount + 7) return false;
  const UINT* tail = name.ids + kViewArcCount;
  if (tail[0] != 1 || tail[1] != 2 || tail[2] != 12 || tail[3] != 1) return false;
  UINT n = tail[5];
  UINT sub = tail[6];
  return sub < 1 || sub > n || sub == 2;
}

// The list the SNMP service would hand over, and its release.
struct Request {
  RFC1157VarBindList list{nullptr, 0};
  ~Request() { SnmpUtilVarBindListFree(&list); }
};

// A Get of `name` answers `expected` (the same type and bytes).
void RequireGetAnswers(const AsnObjectIdentifier& name, const AsnAny& expected) {
  Request get;
  get.list.len = 1;
  get.list.list = static_cast<RFC1157VarBind*>(SnmpUtilMemAlloc(sizeof(RFC1157VarBind)));
  Require(SnmpUtilOidCpy(&get.list.list[0].name, const_cast<AsnObjectIdentifier*>(&name)));
  get.list.list[0].value.asnType = ASN_NULL;
  AsnInteger32 status = -7;
  AsnInteger32 index = -7;
  Require(SnmpExtensionQuery(SNMP_PDU_GET, &get.list, &status, &index) == TRUE);
  Require(status == SNMP_ERRORSTATUS_NOERROR);
  RFC1157VarBind answered{{0, nullptr}, expected};
  Copy want = CopyOf(answered);
  want.name.assign(name.ids, name.ids + name.idLength);
  Require(SameAs(get.list.list[0], want));
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  // Virtual time for good: the watcher threads never wake, so every input
  // meets the same tables.
  new velplat::clock::VirtualTimeScope();
  const std::vector<velmon::test::OracleMember> members = {
      {"rac1", "racpriv1", "192.0.2.11", SERVICE_RUNNING},
      {"rac2", "racpriv2", "192.0.2.12", SERVICE_STOPPED},
      {"rac3", "racpriv3", "192.0.2.13", SERVICE_START_PENDING},
  };
  velmon::test::MakeOracleMembers(members);
  velmon::test::WriteClusterManagerKey(members);
  velmon::test::WriteHostsFile("10.0.0.1 racpriv1\n10.0.0.2 racpriv2\n10.0.0.3 racpriv3\n");
  velmon::test::InstallClusterManagerExecutable(REG_SZ, "C:\\oracle\\bin\\oracm.exe", "9.2.0.1.0");
  // The agent's threads install the platform's fault handlers; the request
  // path needs none, so libFuzzer's and ASan's are put back afterwards and a
  // crash or broken invariant leaves its input behind.
  constexpr int kFaultSignals[] = {SIGSEGV, SIGBUS, SIGFPE, SIGILL};
  struct sigaction saved[4];
  for (int i = 0; i < 4; ++i) sigaction(kFaultSignals[i], nullptr, &saved[i]);
  HANDLE event = nullptr;
  AsnObjectIdentifier view{0, nullptr};
  if (!SnmpExtensionInit(0, &event, &view)) std::abort();
  // The view names the agent's own static arcs: nothing to free.
  bool ready = velmon::test::Eventually(
      [] { return velmon::ClusterVendor.load() == velmon::kVendorOracle && velmon::WatchTablesReady.load() == 1; },
      30000);
  if (!ready) std::abort();
  for (int i = 0; i < 4; ++i) sigaction(kFaultSignals[i], &saved[i], nullptr);
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  velmon::fuzz::DecodedRequest request(data, size);
  BYTE type = request.type;
  UINT count = request.list.len;
  if (count) Require(request.list.list != nullptr);
  std::vector<Copy> before;
  for (UINT i = 0; i < count; ++i) before.push_back(CopyOf(request.list.list[i]));

  AsnInteger32 status = -7;
  AsnInteger32 index = -7;
  Require(SnmpExtensionQuery(type, &request.list, &status, &index) == TRUE);
  Require(request.list.len == count);

  if (count == 0) {
    Require(status == -7 && index == -7);
    return 0;
  }
  UINT answered = count;  // bindings before the failing one
  if (status == SNMP_ERRORSTATUS_NOERROR) {
    Require(index == -7);
  } else {
    Require(status > 0 && status <= SNMP_ERRORSTATUS_INCONSISTENTNAME);
    Require(index >= 1 && static_cast<UINT>(index) <= count);
    answered = static_cast<UINT>(index) - 1;
  }
  bool answers = type == SNMP_PDU_GET || type == SNMP_PDU_GETNEXT;
  if (type == SNMP_PDU_SET) Require(status != SNMP_ERRORSTATUS_NOERROR);  // every variable is read-only
  for (UINT i = 0; i < count; ++i) {
    const RFC1157VarBind& binding = request.list.list[i];
    if (!answers || i >= answered) {
      Require(SameAs(binding, before[i]));
      continue;
    }
    if (type == SNMP_PDU_GET) {
      Require(binding.name.idLength == before[i].name.size());
      Require(std::equal(before[i].name.begin(), before[i].name.end(), binding.name.ids));
      Require(InView(binding.name));
      RequireAnswerValue(binding.value);
      continue;
    }
    std::vector<UINT> name(binding.name.ids, binding.name.ids + binding.name.idLength);
    if (IsEndOfView(binding.name)) {
      // The agent's "nothing more here" answer, also for names outside the
      // view on either side.
      Copy unchanged = before[i];
      unchanged.name = name;
      Require(SameAs(binding, unchanged));
      continue;
    }
    Require(CompareNames(name, before[i].name) > 0);
    Require(InView(binding.name));
    RequireAnswerValue(binding.value);
    if (!SteppedSubIndex(binding.name)) RequireGetAnswers(binding.name, binding.value);
  }
  return 0;
}
