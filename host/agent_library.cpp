// Loading an extension agent with dlopen and calling its entry points.
#include "host/agent_library.h"

#include <dlfcn.h>
#include <snmp.h>
#include <windows.h>

#include "host/sdk_convert.h"

namespace velmond {

struct AgentLibrary::EntryPoints {
  PFNSNMPEXTENSIONINIT init = nullptr;
  PFNSNMPEXTENSIONQUERY query = nullptr;
  PFNSNMPEXTENSIONTRAP trap = nullptr;
};

namespace {

template <class Fn>
Fn Symbol(void* module, const char* name) {
  return reinterpret_cast<Fn>(dlsym(module, name));
}

BYTE PduTag(Pdu pdu) {
  switch (pdu) {
    case Pdu::Get:
      return SNMP_PDU_GET;
    case Pdu::GetNext:
      return SNMP_PDU_GETNEXT;
    case Pdu::Set:
      return SNMP_PDU_SET;
  }
  return SNMP_PDU_GET;
}

// A binding list in SNMP-allocator memory, freed as the service frees it.
class SdkList {
 public:
  SdkList() = default;
  SdkList(const SdkList&) = delete;
  SdkList& operator=(const SdkList&) = delete;
  ~SdkList() { SnmpUtilVarBindListFree(&list_); }

  bool Fill(const std::vector<Binding>& bindings) {
    if (bindings.empty()) return true;
    auto size = static_cast<UINT>(bindings.size() * sizeof(SnmpVarBind));
    list_.list = static_cast<SnmpVarBind*>(SnmpUtilMemAlloc(size));
    if (!list_.list) return false;
    list_.len = static_cast<UINT>(bindings.size());
    bool ok = true;
    for (size_t i = 0; i < bindings.size(); ++i) {
      ok = sdk::ToSdkOid(bindings[i].name, &list_.list[i].name) && ok;
      ok = sdk::ToSdkValue(bindings[i].value, &list_.list[i].value) && ok;
    }
    return ok;
  }
  SnmpVarBindList* get() { return &list_; }

 private:
  SnmpVarBindList list_{nullptr, 0};
};

}  // namespace

std::unique_ptr<AgentLibrary> AgentLibrary::Load(const std::string& path, std::string& error) {
  void* module = dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL);
  if (!module) {
    const char* why = dlerror();
    error = "cannot load the agent library " + path + ": " + (why ? why : "unknown error");
    return nullptr;
  }
  auto entries = std::make_unique<EntryPoints>();
  entries->init = Symbol<PFNSNMPEXTENSIONINIT>(module, "SnmpExtensionInit");
  entries->query = Symbol<PFNSNMPEXTENSIONQUERY>(module, "SnmpExtensionQuery");
  entries->trap = Symbol<PFNSNMPEXTENSIONTRAP>(module, "SnmpExtensionTrap");
  std::string missing;
  if (!entries->init) missing += " SnmpExtensionInit";
  if (!entries->query) missing += " SnmpExtensionQuery";
  if (!entries->trap) missing += " SnmpExtensionTrap";
  if (!missing.empty()) {
    error = path + " is not an SNMP extension agent; missing:" + missing;
    dlclose(module);
    return nullptr;
  }
  return std::unique_ptr<AgentLibrary>(new AgentLibrary(module, std::move(entries)));
}

AgentLibrary::AgentLibrary(void* module, std::unique_ptr<EntryPoints> entries)
    : module_(module), entries_(std::move(entries)) {
  stopEvent_ = CreateEventA(nullptr, TRUE, FALSE, nullptr);
}

AgentLibrary::~AgentLibrary() {
  if (stopEvent_) CloseHandle(static_cast<HANDLE>(stopEvent_));
  // module_ stays loaded: the agent's threads still run in it.
}

bool AgentLibrary::Init(Oid& view) {
  HANDLE trapEvent = nullptr;
  AsnObjectIdentifier region{0, nullptr};
  BOOL ok = entries_->init(GetTickCount(), &trapEvent, &region);
  if (!ok) return false;
  // The region stays the agent's: copy it, never free it.
  view = sdk::FromSdkOid(region);
  trapEvent_ = trapEvent;
  return true;
}

QueryResult AgentLibrary::Query(Pdu pdu, std::vector<Binding>& bindings) {
  QueryResult result;
  SdkList list;
  if (!list.Fill(bindings)) {
    result.returned = true;
    result.errorStatus = status::kGenErr;
    result.errorIndex = 1;
    return result;
  }
  AsnInteger32 errorStatus = SNMP_ERRORSTATUS_NOERROR;
  AsnInteger32 errorIndex = 0;
  result.returned = entries_->query(PduTag(pdu), list.get(), &errorStatus, &errorIndex) != FALSE;
  result.errorStatus = errorStatus;
  result.errorIndex = errorIndex;
  SnmpVarBindList* answered = list.get();
  for (size_t i = 0; i < bindings.size() && i < answered->len; ++i) {
    bindings[i].name = sdk::FromSdkOid(answered->list[i].name);
    bindings[i].value = sdk::FromSdkValue(answered->list[i].value);
  }
  return result;
}

std::optional<Trap> AgentLibrary::TakeTrap() {
  AsnObjectIdentifier enterprise{0, nullptr};
  AsnInteger32 generic = 0;
  AsnInteger32 specific = 0;
  AsnTimeticks stamp = 0;
  SnmpVarBindList list{nullptr, 0};
  if (!entries_->trap(&enterprise, &generic, &specific, &stamp, &list)) return std::nullopt;
  Trap trap;
  trap.enterprise = sdk::FromSdkOid(enterprise);
  trap.genericTrap = generic;
  trap.specificTrap = specific;
  trap.timeStamp = stamp;
  for (UINT i = 0; i < list.len; ++i) {
    trap.bindings.push_back({sdk::FromSdkOid(list.list[i].name), sdk::FromSdkValue(list.list[i].value)});
  }
  // The trap's memory now belongs to the service, which is us.
  SnmpUtilOidFree(&enterprise);
  SnmpUtilVarBindListFree(&list);
  return trap;
}

bool AgentLibrary::WaitForTrap() {
  if (!trapEvent_ || !stopEvent_) return false;
  HANDLE handles[2] = {static_cast<HANDLE>(stopEvent_), static_cast<HANDLE>(trapEvent_)};
  DWORD woken = WaitForMultipleObjects(2, handles, FALSE, INFINITE);
  return woken == WAIT_OBJECT_0 + 1;
}

void AgentLibrary::Interrupt() {
  if (stopEvent_) SetEvent(static_cast<HANDLE>(stopEvent_));
}

}  // namespace velmond
