// The main trap thread. The failover database is not followed yet: the
// thread runs its (empty) body inside its failure frame and ends.
#include "discovery/main_trap_thread.h"

#include "discovery/failure_frame.h"

namespace velmon {
namespace {

void FollowFailoverDatabase(void*) {}

}  // namespace

void __cdecl MainTrapThread(void*) { RunInFailureFrame(kMainTrapThreadName, &FollowFailoverDatabase, nullptr); }

}  // namespace velmon
