/*
 * A third-party extension-agent host, written in C against the SDK-named
 * headers only: loads the agent library by name, starts it, and walks its
 * whole view with GetNext the way the SNMP service would, checking the
 * answers of an agent with no cluster software found.
 *
 * Usage: sdk_host <agent library>. Prints "N passed, N failed".
 */
#include <windows.h>
#include <snmp.h>

#include <stdio.h>
#include <string.h>

static int passed, failed;

static void check(int ok, const char* what) {
  if (ok) {
    ++passed;
  } else {
    ++failed;
    printf("FAILED: %s\n", what);
  }
}

static int name_is(const AsnObjectIdentifier* oid, const UINT* arcs, UINT count) {
  return oid->idLength == count && memcmp(oid->ids, arcs, count * sizeof(UINT)) == 0;
}

int main(int argc, char** argv) {
  static UINT view_arcs[] = {1, 3, 6, 1, 4, 1, 32473, 2, 18, 22, 4, 1};
  static UINT end_arcs[] = {1, 3, 6, 1, 4, 1, 32473, 2, 18, 22, 4, 2};
  HMODULE agent;
  PFNSNMPEXTENSIONINIT init;
  PFNSNMPEXTENSIONQUERY query;
  PFNSNMPEXTENSIONTRAP trap;
  HANDLE trap_event = NULL;
  AsnObjectIdentifier region = {0, NULL};
  AsnObjectIdentifier start = {12, view_arcs};
  SnmpVarBindList list;
  AsnInteger32 status, index;
  int steps = 0, integers = 0, strings = 0, oids = 0;

  agent = LoadLibraryA(argc > 1 ? argv[1] : "velmon.dll");
  check(agent != NULL, "the agent library loads");
  if (!agent) return 1;
  /* Through void (*)(void), the generic function pointer type. */
  init = (PFNSNMPEXTENSIONINIT)(void (*)(void))GetProcAddress(agent, "SnmpExtensionInit");
  query = (PFNSNMPEXTENSIONQUERY)(void (*)(void))GetProcAddress(agent, "SnmpExtensionQuery");
  trap = (PFNSNMPEXTENSIONTRAP)(void (*)(void))GetProcAddress(agent, "SnmpExtensionTrap");
  check(init && query && trap, "the three entry points are exported");
  check(GetProcAddress(agent, "ProcessVarBind") == NULL, "internal names are not exported");
  if (!init || !query || !trap) return 1;

  check(init(GetTickCount(), &trap_event, &region) == TRUE, "SnmpExtensionInit succeeds");
  check(name_is(&region, view_arcs, 12), "the supported view is the agent's");
  check(trap_event != NULL, "a trap event is handed over");

  list.len = 1;
  list.list = (SnmpVarBind*)SnmpUtilMemAlloc(sizeof(SnmpVarBind));
  SnmpUtilOidCpy(&list.list[0].name, &start);
  list.list[0].value.asnType = ASN_NULL;
  for (;;) {
    status = -1;
    index = -1;
    check(query(SNMP_PDU_GETNEXT, &list, &status, &index) == TRUE, "SnmpExtensionQuery returns TRUE");
    check(status == SNMP_ERRORSTATUS_NOERROR, "GetNext answers noError");
    if (name_is(&list.list[0].name, end_arcs, 12) || ++steps > 100) break;
    switch (list.list[0].value.asnType) {
      case ASN_INTEGER: ++integers; break;
      case ASN_OCTETSTRING: ++strings; break;
      case ASN_OBJECTIDENTIFIER: ++oids; break;
      default: check(0, "a value of a known type"); break;
    }
    SnmpUtilAsnAnyFree(&list.list[0].value);
  }
  check(steps == 10, "the walk visits the ten scalar instances");
  check(integers == 5 && strings == 4 && oids == 1, "the values have the MIB's types");
  SnmpUtilVarBindListFree(&list);

  {
    AsnObjectIdentifier enterprise;
    AsnInteger32 generic, specific;
    AsnTimeticks stamp;
    SnmpVarBindList bindings;
    check(trap(&enterprise, &generic, &specific, &stamp, &bindings) == FALSE, "no trap is pending");
  }
  printf("%d passed, %d failed\n", passed, failed);
  return failed != 0;
}
