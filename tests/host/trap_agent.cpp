// A tiny extension agent for velmond's tests, built against the SDK-named
// headers like any third-party agent. Its view is 1.3.6.1.4.1.32473.99 with
// one instance, .1.0 = "trap agent". Its GetNext is deliberately careless:
// past its one instance it answers that same instance again, which the host
// must not pass on (a walk has to end). Shortly after start-up it queues one
// trap (enterprise .99, specific 7, binding .1.0 = "hello") and signals its
// trap event.
#include <snmp.h>
#include <windows.h>

#include <chrono>
#include <cstring>
#include <mutex>
#include <thread>

namespace {

UINT kView[] = {1, 3, 6, 1, 4, 1, 32473, 99};
UINT kInstance[] = {1, 3, 6, 1, 4, 1, 32473, 99, 1, 0};
HANDLE trapEvent = nullptr;
std::mutex queueMutex;
int queued = 0;

AsnObjectIdentifier Oid(UINT* arcs, UINT count) { return AsnObjectIdentifier{count, arcs}; }

void SetString(AsnAny* value, const char* text) {
  UINT length = static_cast<UINT>(std::strlen(text));
  value->asnType = ASN_OCTETSTRING;
  value->asnValue.string.stream = static_cast<BYTE*>(SnmpUtilMemAlloc(length));
  std::memcpy(value->asnValue.string.stream, text, length);
  value->asnValue.string.length = length;
  value->asnValue.string.dynamic = TRUE;
}

}  // namespace

extern "C" __attribute__((visibility("default"))) BOOL SNMP_FUNC_TYPE
SnmpExtensionInit(DWORD, HANDLE* event, AsnObjectIdentifier* region) {
  *region = Oid(kView, 8);
  trapEvent = CreateEventA(nullptr, FALSE, FALSE, nullptr);
  *event = trapEvent;
  std::thread([] {
    std::this_thread::sleep_for(std::chrono::milliseconds(300));
    {
      std::lock_guard lock(queueMutex);
      ++queued;
    }
    SetEvent(trapEvent);
  }).detach();
  return TRUE;
}

extern "C" __attribute__((visibility("default"))) BOOL SNMP_FUNC_TYPE
SnmpExtensionQuery(BYTE type, SnmpVarBindList* list, AsnInteger32* status, AsnInteger32* index) {
  AsnObjectIdentifier instance = Oid(kInstance, 10);
  for (UINT i = 0; i < list->len; ++i) {
    SnmpVarBind& binding = list->list[i];
    bool exact = SnmpUtilOidCmp(&binding.name, &instance) == 0;
    if (type == SNMP_PDU_GETNEXT) {
      // Careless: the instance itself is the answer to any later name too.
      SnmpUtilOidFree(&binding.name);
      SnmpUtilOidCpy(&binding.name, &instance);
    } else if (type != SNMP_PDU_GET || !exact) {
      *status = SNMP_ERRORSTATUS_NOSUCHNAME;
      *index = static_cast<AsnInteger32>(i + 1);
      return TRUE;
    }
    SnmpUtilAsnAnyFree(&binding.value);
    SetString(&binding.value, "trap agent");
  }
  *status = SNMP_ERRORSTATUS_NOERROR;
  *index = 0;
  return TRUE;
}

extern "C" __attribute__((visibility("default"))) BOOL SNMP_FUNC_TYPE
SnmpExtensionTrap(AsnObjectIdentifier* enterprise, AsnInteger32* generic, AsnInteger32* specific,
                  AsnTimeticks* stamp, SnmpVarBindList* bindings) {
  {
    std::lock_guard lock(queueMutex);
    if (queued == 0) return FALSE;
    --queued;
  }
  AsnObjectIdentifier view = Oid(kView, 8);
  SnmpUtilOidCpy(enterprise, &view);
  *generic = SNMP_GENERICTRAP_ENTERSPECIFIC;
  *specific = 7;
  *stamp = 42;
  bindings->len = 1;
  bindings->list = static_cast<SnmpVarBind*>(SnmpUtilMemAlloc(sizeof(SnmpVarBind)));
  AsnObjectIdentifier instance = Oid(kInstance, 10);
  SnmpUtilOidCpy(&bindings->list[0].name, &instance);
  SetString(&bindings->list[0].value, "hello");
  return TRUE;
}
