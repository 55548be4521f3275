// The trap queue: ready-made trap records waiting for the SNMP service, the
// oldest at `head`, guarded by TrapQueueMutex; TrapEvent tells the service
// that records are waiting. Nothing in the agent builds a trap, so the queue
// stays empty; EnqueueTrap exists for hosts of the queue such as tests.
//
// Thread-safety: head and tail are touched only while holding TrapQueueMutex.
#ifndef VELMON_AGENT_TRAP_QUEUE_H
#define VELMON_AGENT_TRAP_QUEUE_H

#include <snmp.h>

#include <atomic>

namespace velmon {

// One queued trap, allocated with SnmpUtilMemAlloc; its enterprise arcs and
// binding list also come from the SNMP allocator and pass to the service.
struct TrapRecord {
  TrapRecord* prev;
  TrapRecord* next;
  AsnObjectIdentifier enterprise;
  AsnInteger32 genericTrap;
  AsnInteger32 specificTrap;
  AsnTimeticks timeStamp;
  RFC1157VarBindList variableBindings;
};

struct TrapQueueHeads {
  TrapRecord* head;
  TrapRecord* tail;
};

extern TrapQueueHeads TrapQueue;
// Created by start-up and kept for the life of the process.
extern std::atomic<HANDLE> TrapEvent;
extern std::atomic<HANDLE> TrapQueueMutex;

// The body of SnmpExtensionTrap: hands over the oldest record (shallow copies
// of its fields) and releases it; FALSE with the outputs untouched when the
// queue is empty.
BOOL TakeTrap(AsnObjectIdentifier* enterprise, AsnInteger32* genericTrap, AsnInteger32* specificTrap,
              AsnTimeticks* timeStamp, RFC1157VarBindList* variableBindings);

// Appends `record` at the tail under the mutex and signals TrapEvent.
// FALSE when the mutex cannot be taken (the record is not queued).
BOOL EnqueueTrap(TrapRecord* record);

}  // namespace velmon

#endif
