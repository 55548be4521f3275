// The trap queue and its hand-over to the SNMP service.
#include "agent/trap_queue.h"

namespace velmon {

TrapQueueHeads TrapQueue = {nullptr, nullptr};
std::atomic<HANDLE> TrapEvent{nullptr};
std::atomic<HANDLE> TrapQueueMutex{nullptr};

namespace {

// Holds TrapQueueMutex for a scope; `held` is false when the wait failed
// (for example before start-up created the mutex).
class QueueLock {
 public:
  QueueLock() : mutex_(TrapQueueMutex.load()) {
    DWORD result = mutex_ ? WaitForSingleObject(mutex_, INFINITE) : WAIT_FAILED;
    held_ = result == WAIT_OBJECT_0 || result == WAIT_ABANDONED;
  }
  ~QueueLock() {
    if (held_) ReleaseMutex(mutex_);
  }
  QueueLock(const QueueLock&) = delete;
  QueueLock& operator=(const QueueLock&) = delete;
  bool held() const { return held_; }

 private:
  HANDLE mutex_;
  bool held_ = false;
};

TrapRecord* PopHead() {
  QueueLock lock;
  if (!lock.held()) return nullptr;
  TrapRecord* record = TrapQueue.head;
  if (record) {
    TrapQueue.head = record->next;
    if (TrapQueue.head)
      TrapQueue.head->prev = nullptr;
    else
      TrapQueue.tail = nullptr;
  }
  return record;
}

}  // namespace

BOOL TakeTrap(AsnObjectIdentifier* enterprise, AsnInteger32* genericTrap, AsnInteger32* specificTrap,
              AsnTimeticks* timeStamp, RFC1157VarBindList* variableBindings) {
  TrapRecord* record = PopHead();
  if (!record) return FALSE;
  // The record is out of the queue: no lock is needed to hand it over.
  *enterprise = record->enterprise;
  *genericTrap = record->genericTrap;
  *specificTrap = record->specificTrap;
  *timeStamp = record->timeStamp;
  *variableBindings = record->variableBindings;
  SnmpUtilMemFree(record);
  return TRUE;
}

BOOL EnqueueTrap(TrapRecord* record) {
  {
    QueueLock lock;
    if (!lock.held()) return FALSE;
    record->next = nullptr;
    record->prev = TrapQueue.tail;
    if (TrapQueue.tail)
      TrapQueue.tail->next = record;
    else
      TrapQueue.head = record;
    TrapQueue.tail = record;
  }
  if (HANDLE event = TrapEvent.load()) SetEvent(event);
  return TRUE;
}

}  // namespace velmon
