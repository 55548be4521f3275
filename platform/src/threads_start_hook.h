// For the thread starts: runs the hook of velplat/threads.h, if any, on the
// calling thread. Any thread; takes no kernel lock.
#ifndef VELPLAT_SRC_THREADS_START_HOOK_H
#define VELPLAT_SRC_THREADS_START_HOOK_H

#include <velplat/threads.h>

namespace velplat::threads {

void RunThreadStartHook(ThreadStart& start);

}  // namespace velplat::threads

#endif
