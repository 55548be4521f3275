// Test helpers for driving the agent the way the SNMP service does: build a
// binding list from dotted names, run SnmpExtensionQuery, read the answers.
#ifndef VELMON_TESTS_AGENT_SNMP_REQUEST_H
#define VELMON_TESTS_AGENT_SNMP_REQUEST_H

#include <snmp.h>

#include <string>
#include <vector>

namespace velmon::test {

// "1.2.3" (absolute, no leading dot) -> arcs.
std::vector<UINT> Arcs(const std::string& dotted);
// Arcs under the agent's view: Under("1.2.9.0") is 1.3.6.1.4.1.32473.2.18.22.4.1.1.2.9.0.
std::vector<UINT> Under(const std::string& dotted);
std::string Dotted(const AsnObjectIdentifier& oid);
// Dotted relative to the view ("1.2.9.0"), or the full name when outside it.
std::string Relative(const AsnObjectIdentifier& oid);

// A binding list owned by the test; values start as NULL.
class Request {
 public:
  explicit Request(const std::vector<std::vector<UINT>>& names);
  ~Request();
  Request(const Request&) = delete;
  Request& operator=(const Request&) = delete;

  // Runs SnmpExtensionQuery; status and index start at the sentinel -7.
  BOOL Run(BYTE pduType);
  RFC1157VarBind& operator[](size_t i) { return list_.list[i]; }
  RFC1157VarBindList& List() { return list_; }
  AsnInteger32 status = -7;
  AsnInteger32 index = -7;

 private:
  RFC1157VarBindList list_;
};

// One binding's answer, for compact assertions.
struct Answer {
  AsnInteger32 status;
  std::string name;  // relative to the view
  BYTE type;
  AsnInteger32 number;
  std::string bytes;  // octet string / address bytes
  std::string oid;    // object identifier value, full dotted
};

Answer Get(const std::string& relative);
Answer GetNext(const std::string& relative);
Answer GetNextFull(const std::vector<UINT>& name);

// The relative names a GetNext walk visits from `start` until it leaves the
// view (at most `limit` steps).
std::vector<std::string> Walk(const std::string& start, size_t limit = 200);

inline constexpr const char kEndOfView[] = "1.3.6.1.4.1.32473.2.18.22.4.2";

}  // namespace velmon::test

#endif
