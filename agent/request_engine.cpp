// The request engine: FindGroup, the GetNext successor walk with its one
// order correction around .1.2.9.0, Get/Set instance checks, and the answer.
#include "agent/request_engine.h"

#include "agent/mib_registry.h"

#include <algorithm>
#include <cstring>

namespace velmon {
namespace {

// Longest name the engine accepts; longer names are refused (noSuchName,
// for GetNext the end of the view).
constexpr UINT kMaxNameArcs = kMaxInstanceArcs;

// A name the engine is working on: a request name, or the name it is
// building as the answer. Never longer than kMaxNameArcs.
struct Name {
  UINT count = 0;
  UINT arcs[kMaxNameArcs] = {};

  AsnObjectIdentifier View() { return AsnObjectIdentifier{count, arcs}; }
  void Assign(const AsnObjectIdentifier& oid) {
    count = oid.idLength;
    std::copy_n(oid.ids, count, arcs);
  }
  // False when the result would not fit.
  bool Append(const RowIndex& index) {
    if (index.count > kMaxNameArcs - count) return false;
    std::copy_n(index.arcs, index.count, arcs + count);
    count += index.count;
    return true;
  }
  UINT Arc(UINT position) const { return arcs[position - 1]; }  // position from 1
};

// An instance record with room for kMaxInstanceArcs arcs.
struct Instance {
  UINT arcs[kMaxInstanceArcs] = {};
  RowIndex index{0, arcs};
};

const MibGroup& Group(UINT g) { return MibGroups()[g]; }

// The walk's order: arc by arc, a name before its extensions. Not
// SnmpUtilOidCmp, which some SNMP utility libraries (Wine's) make order
// shorter names first.
int Compare(AsnObjectIdentifier a, AsnObjectIdentifier b) {
  const UINT common = a.idLength < b.idLength ? a.idLength : b.idLength;
  for (UINT i = 0; i < common; ++i) {
    if (a.ids[i] != b.ids[i]) return a.ids[i] < b.ids[i] ? -1 : 1;
  }
  if (a.idLength == b.idLength) return 0;
  return a.idLength < b.idLength ? -1 : 1;
}

// Fixed names around the cluster address table, where the group walk and the
// lexicographic order disagree about .1.2.9.0.
template <UINT... tail>
struct Fixed {
  UINT arcs[kViewArcCount + sizeof...(tail)] = {1, 3, 6, 1, 4, 1, 32473, 2, 18, 22, 4, 1, tail...};
  AsnObjectIdentifier View() { return AsnObjectIdentifier{kViewArcCount + sizeof...(tail), arcs}; }
};

// ---- successor walk ----

enum class Walk { kFound, kEnd };

// Step 4 and 5 of the walk: from element `variable` on, the first readable
// variable of group `g` that has an instance; the name becomes that instance.
Walk FirstInstanceFrom(Name& name, UINT g, UINT variable, UINT* v, RowIndex* index);

// The instance that follows `name` in group `g` or, failing that, in the
// groups after it. On kFound the name is that instance and g, v, index
// describe it.
Walk FindSuccessor(Name& name, UINT* g, UINT* v, RowIndex* index) {
  while (true) {
    const MibGroup& group = Group(*g);
    UINT n = group.variableOidLength;
    UINT start;
    if (name.count < n) {
      start = group.firstVariable;
    } else {
      UINT c = name.Arc(n);
      if (c < group.firstVariable) {
        start = group.firstVariable;
      } else if (c > group.lastVariable) {
        start = group.lastVariable + 1;  // nothing left in this group
      } else if (!group.isTable) {
        start = name.count > n ? c + 1 : c;
      } else {
        const MibVariable* column = MibElement(*g, c);
        AsnObjectIdentifier view = name.View();
        if (IsReadable(column) && group.nextInstance(&view, index) == kNoError) {
          name.Assign(column->oid);
          if (name.Append(*index)) {
            *v = c;
            return Walk::kFound;
          }
        }
        start = c + 1;
      }
    }
    if (FirstInstanceFrom(name, *g, start, v, index) == Walk::kFound) return Walk::kFound;
    if (++*g == kGroupCount) return Walk::kEnd;
    name.Assign(Group(*g).groupOid);
  }
}

Walk FirstInstanceFrom(Name& name, UINT g, UINT variable, UINT* v, RowIndex* index) {
  const MibGroup& group = Group(g);
  for (; variable <= group.lastVariable; ++variable) {
    // In this scan the number counts array elements: group .1.2 has no
    // element 9, so its arc-9 variable is reached as element 8.
    const MibVariable* var = MibElement(g, variable);
    if (!IsReadable(var)) continue;
    name.Assign(var->oid);
    if (!group.isTable) {
      index->count = 1;
      index->arcs[0] = 0;
      name.Append(*index);
      *v = variable;
      return Walk::kFound;
    }
    AsnObjectIdentifier view = name.View();
    if (group.nextInstance(&view, index) != kNoError) return Walk::kEnd;  // the table has no rows
    if (!name.Append(*index)) return Walk::kEnd;
    *v = variable;
    return Walk::kFound;
  }
  return Walk::kEnd;
}

// The group walk produces .1.2.9.0 right after .1.2.7.0, inside group .1.2,
// although it sorts after the whole cluster address table. Puts the answer
// for `request` back into lexicographic order.
Walk ApplyOrderRule(const AsnObjectIdentifier& request, Walk walk, Name& name, UINT* g, UINT* v, RowIndex* index) {
  Fixed<1, 2, 8> tableStart;
  Fixed<1, 2, 9, 0> typeName;
  Fixed<1, 2, 11> nodeTable;

  auto answerTypeName = [&] {
    name.Assign(typeName.View());
    *g = kGroupCluster;
    *v = 8;  // element of the arc-9 variable
    index->count = 1;
    index->arcs[0] = 0;
    return Walk::kFound;
  };

  if (Compare(request, tableStart.View()) < 0) {
    if (walk != Walk::kFound || Compare(name.View(), typeName.View()) != 0) return walk;
    // .1.2.9.0 must wait until the cluster address table has been walked.
    const MibVariable* column = MibElement(kGroupClusterAddress, 1);
    name.Assign(column->oid);
    AsnObjectIdentifier view = name.View();
    if (Group(kGroupClusterAddress).nextInstance(&view, index) == kNoError && name.Append(*index)) {
      *g = kGroupClusterAddress;
      *v = 1;
      return Walk::kFound;
    }
    return answerTypeName();
  }
  if (Compare(request, typeName.View()) < 0) {
    // Inside or just past the cluster address table: .1.2.9.0 follows its
    // last instance.
    bool inTable = walk == Walk::kFound && *g == kGroupClusterAddress && Compare(name.View(), request) > 0;
    return inTable ? walk : answerTypeName();
  }
  if (Compare(request, nodeTable.View()) < 0) {
    // Past .1.2.9.0: the node table comes next, whatever group .1.2 and the
    // cluster address table hold.
    *g = kGroupNode;
    name.Assign(Group(*g).groupOid);
    return FindSuccessor(name, g, v, index);
  }
  return walk;
}

// ---- one binding ----

// Makes `name` the binding's name. False (binding untouched) when the SNMP
// allocator fails.
bool ReplaceName(RFC1157VarBind* binding, const Name& name) {
  if (binding->name.idLength == name.count &&
      std::equal(name.arcs, name.arcs + name.count, binding->name.ids))
    return true;
  auto* ids = static_cast<UINT*>(SnmpUtilMemAlloc(name.count * sizeof(UINT)));
  if (!ids) return false;
  std::copy_n(name.arcs, name.count, ids);
  SnmpUtilOidFree(&binding->name);
  binding->name.ids = ids;
  binding->name.idLength = name.count;
  return true;
}

// Loads the row, lets the variable's marshalling routine answer, and only
// then gives the binding its new name.
Status Answer(RFC1157VarBind* binding, const Name& name, UINT g, UINT v, const RowIndex& index) {
  const MibGroup& group = Group(g);
  const MibVariable* var = MibVariableForRequest(g, v);
  if (!var || !var->getMarshal) return kNoSuchName;
  RowIndex row{0, nullptr};
  if (!group.loadRow(&index, &row)) return kGenErr;
  RFC1157VarBind answer = *binding;
  Status status = var->getMarshal(&answer, g, v, &row);
  group.freeRow(&row);
  if (status != kNoError) return status;
  if (!ReplaceName(binding, name)) {
    SnmpUtilAsnAnyFree(&answer.value);
    return kGenErr;
  }
  // The answer replaces whatever value the binding came with, which the
  // binding owns: release it rather than leak it.
  SnmpUtilAsnAnyFree(&binding->value);
  binding->value = answer.value;
  return kNoError;
}

Status GetNext(RFC1157VarBind* binding, Name& name) {
  const AsnObjectIdentifier request = binding->name;
  Instance instance;
  UINT g = 0;
  UINT v = 0;
  Walk walk;
  if (FindGroup(name.View(), &g)) {
    walk = FindSuccessor(name, &g, &v, &instance.index);
  } else {
    AsnObjectIdentifier view = MibView();
    AsnObjectIdentifier last = Group(kGroupCount - 1).groupOid;
    if (Compare(request, view) < 0 || Compare(request, last) > 0) return kNoSuchName;
    g = 0;
    while (g < kGroupCount - 1 && Compare(Group(g).groupOid, request) <= 0) ++g;
    name.Assign(MibElement(g, Group(g).firstVariable)->oid);
    walk = FindSuccessor(name, &g, &v, &instance.index);
  }
  walk = ApplyOrderRule(request, walk, name, &g, &v, &instance.index);
  if (walk != Walk::kFound) return kNoSuchName;
  return Answer(binding, name, g, v, instance.index);
}

Status GetOrSet(RFC1157VarBind* binding, Name& name, UINT g, BYTE requestType) {
  const MibGroup& group = Group(g);
  UINT n = group.variableOidLength;
  if (name.count <= n) return kNoSuchName;
  UINT v = name.Arc(n);
  if (v < group.firstVariable || v > group.lastVariable) return kNoSuchName;
  const MibVariable* var = MibVariableForRequest(g, v);
  if (!var) return kNoSuchName;
  Instance instance;
  AsnObjectIdentifier view = name.View();
  if (Status parsed = group.parseInstance(&view, &instance.index); parsed != kNoError) return parsed;
  if (requestType == SNMP_PDU_SET) {
    // Every variable of this MIB is read-only, so a Set ends here.
    if (!IsWritable(var) || !var->setMarshal) return kNoSuchName;
    if (binding->value.asnType != var->asnType) return kBadValue;
    RowIndex row{0, nullptr};
    if (!group.loadRow(&instance.index, &row)) return kGenErr;
    Status status = var->setMarshal(binding, g, v, &row);
    group.freeRow(&row);
    return status;
  }
  if (!IsReadable(var)) return kNoSuchName;
  return Answer(binding, name, g, v, instance.index);
}

// The name one past the view: the view with its last arc incremented.
bool SetEndOfView(RFC1157VarBind* binding) {
  Name end;
  end.Assign(MibView());
  ++end.arcs[kViewArcCount - 1];
  return ReplaceName(binding, end);
}

}  // namespace

bool FindGroup(const AsnObjectIdentifier& name, UINT* group) {
  AsnObjectIdentifier oid = name;
  // First pass, from the deepest group up: the name lies inside the group.
  for (UINT g = kGroupCount; g-- > 0;) {
    const MibGroup& grp = Group(g);
    UINT nv = grp.variableOidLength;
    UINT n = grp.isTable ? nv - 2 : nv - 1;  // the group OID without its entry arc
    AsnObjectIdentifier groupOid = grp.groupOid;
    if (oid.idLength < n || SnmpUtilOidNCmp(&oid, &groupOid, n) != 0) continue;
    if (oid.idLength < nv) {
      if (grp.isTable) break;
      continue;
    }
    UINT c = oid.ids[nv - 1];
    if ((c < grp.firstVariable || c > grp.lastVariable) && c != 0) continue;
    if (grp.isTable && oid.ids[n] != groupOid.ids[n]) continue;
    *group = g;
    return true;
  }
  // Second pass: the name is a leading part of (or equal to) a group OID.
  for (UINT g = 0; g < kGroupCount; ++g) {
    AsnObjectIdentifier groupOid = Group(g).groupOid;
    if (SnmpUtilOidNCmp(&oid, &groupOid, oid.idLength) == 0) {
      *group = g;
      return true;
    }
  }
  return false;
}

Status ProcessVarBind(RFC1157VarBind* binding, BYTE requestType) {
  const AsnObjectIdentifier& requested = binding->name;
  if (requested.idLength > kMaxNameArcs || (requested.idLength > 0 && !requested.ids)) return kNoSuchName;
  Name name;
  name.Assign(requested);
  if (requestType == SNMP_PDU_GETNEXT) return GetNext(binding, name);
  if (requestType != SNMP_PDU_GET && requestType != SNMP_PDU_SET) return kGenErr;
  UINT g = 0;
  if (!FindGroup(name.View(), &g)) return kNoSuchName;
  return GetOrSet(binding, name, g, requestType);
}

BOOL ProcessRequest(BYTE requestType, RFC1157VarBindList* bindings, AsnInteger32* errorStatus,
                    AsnInteger32* errorIndex) {
  if (!bindings || bindings->len == 0 || !bindings->list) return TRUE;
  for (UINT i = 0; i < bindings->len; ++i) {
    RFC1157VarBind* binding = &bindings->list[i];
    Status status = ProcessVarBind(binding, requestType);
    if (status == kNoSuchName && requestType == SNMP_PDU_GETNEXT) {
      // Past the last instance: hand the service the name one past the view,
      // its signal to continue with the next region.
      status = SetEndOfView(binding) ? kNoError : kGenErr;
    }
    *errorStatus = status;
    if (status != kNoError) {
      *errorIndex = static_cast<AsnInteger32>(i + 1);
      return TRUE;
    }
  }
  return TRUE;
}

}  // namespace velmon
