// Loading and driving velmon.dll for the Wine tests.
#include "support/agent_dll.h"

namespace wintest {
namespace {

constexpr UINT kView[] = {1, 3, 6, 1, 4, 1, 32473, 2, 18, 22, 4, 1};

template <class Function>
Function Export(HMODULE module, const char* name) {
  return reinterpret_cast<Function>(reinterpret_cast<void (*)()>(GetProcAddress(module, name)));
}

}  // namespace

std::vector<UINT> ViewArcs() { return {std::begin(kView), std::end(kView)}; }

std::vector<UINT> InView(std::initializer_list<UINT> suffix) {
  std::vector<UINT> arcs = ViewArcs();
  arcs.insert(arcs.end(), suffix);
  return arcs;
}

std::vector<UINT> Arcs(const AsnObjectIdentifier& oid) { return {oid.ids, oid.ids + oid.idLength}; }

AgentDll LoadAgentDll() {
  AgentDll agent;
  HMODULE module = LoadLibraryA("velmon.dll");
  if (!module) return agent;
  agent.init = Export<PFNSNMPEXTENSIONINIT>(module, "SnmpExtensionInit");
  agent.query = Export<PFNSNMPEXTENSIONQUERY>(module, "SnmpExtensionQuery");
  agent.trap = Export<PFNSNMPEXTENSIONTRAP>(module, "SnmpExtensionTrap");
  if (agent.init && agent.query && agent.trap) agent.module = module;
  return agent;
}

const AgentDll& StartedAgent() {
  static const AgentDll started = [] {
    AgentDll agent = LoadAgentDll();
    if (!agent.module) return agent;
    HANDLE trapEvent = nullptr;
    AsnObjectIdentifier view{0, nullptr};
    if (!agent.init(GetTickCount(), &trapEvent, &view)) agent.module = nullptr;
    return agent;
  }();
  return started;
}

Bindings::Bindings(const std::vector<std::vector<UINT>>& names) {
  if (names.empty()) return;
  list_.list = static_cast<SnmpVarBind*>(SnmpUtilMemAlloc(static_cast<UINT>(names.size() * sizeof(SnmpVarBind))));
  list_.len = static_cast<UINT>(names.size());
  for (size_t i = 0; i < names.size(); ++i) {
    AsnObjectIdentifier name{static_cast<UINT>(names[i].size()), const_cast<UINT*>(names[i].data())};
    SnmpUtilOidCpy(&list_.list[i].name, &name);
    list_.list[i].value.asnType = ASN_NULL;
  }
}

Bindings::~Bindings() {
  if (list_.list) SnmpUtilVarBindListFree(&list_);
}

BOOL Bindings::Run(const AgentDll& agent, BYTE pduType) { return agent.query(pduType, &list_, &status, &index); }

}  // namespace wintest
