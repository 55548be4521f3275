// The built velmon.dll as the SNMP service uses it: loaded by name, its
// entry points resolved with GetProcAddress, started once per process, and
// queried with variable-binding lists built from arc vectors.
//
// Not thread-safe: call from the test's main thread.
#ifndef VELMON_TESTS_WINDOWS_SUPPORT_AGENT_DLL_H
#define VELMON_TESTS_WINDOWS_SUPPORT_AGENT_DLL_H

#include <windows.h>
#include <snmp.h>

#include <string>
#include <vector>

namespace wintest {

// Arcs of the agent's view, 1.3.6.1.4.1.32473.2.18.22.4.1.
std::vector<UINT> ViewArcs();
// The view's arcs followed by `suffix`.
std::vector<UINT> InView(std::initializer_list<UINT> suffix);
std::vector<UINT> Arcs(const AsnObjectIdentifier& oid);

struct AgentDll {
  HMODULE module = nullptr;
  PFNSNMPEXTENSIONINIT init = nullptr;
  PFNSNMPEXTENSIONQUERY query = nullptr;
  PFNSNMPEXTENSIONTRAP trap = nullptr;
};

// Loads velmon.dll and resolves the three exports; module is null (and the
// error in GetLastError) when loading fails. The library stays loaded.
AgentDll LoadAgentDll();

// Loads and starts the agent (SnmpExtensionInit) the first time; later
// calls return the same library. module is null when either step failed.
const AgentDll& StartedAgent();

// One request's bindings, owned through the SNMP utility allocator, as the
// service hands them to the agent.
class Bindings {
 public:
  explicit Bindings(const std::vector<std::vector<UINT>>& names);
  ~Bindings();
  Bindings(const Bindings&) = delete;
  Bindings& operator=(const Bindings&) = delete;

  SnmpVarBind& operator[](size_t i) { return list_.list[i]; }
  // Runs the request; status and index start at -7 so untouched ones show.
  BOOL Run(const AgentDll& agent, BYTE pduType);
  AsnInteger32 status = -7;
  AsnInteger32 index = -7;

 private:
  SnmpVarBindList list_{nullptr, 0};
};

}  // namespace wintest

#endif
