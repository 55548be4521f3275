// What /proc says about a daemon a test started: which process it is (found
// by the private TMPDIR every Daemon gets) and how much memory it holds.
//
// Thread-safety: no shared state.
#ifndef VELMOND_TESTS_PROC_STATUS_H
#define VELMOND_TESTS_PROC_STATUS_H

#include <string>

namespace velmond::testing {

// The process running `binary` whose environment holds TMPDIR=`tmpdir`;
// -1 when there is none.
int FindProcess(const std::string& binary, const std::string& tmpdir);
// Resident set size in KiB; -1 when the process is gone.
long ResidentKiB(int pid);
// Threads of the process; -1 when it is gone.
long ThreadCount(int pid);

}  // namespace velmond::testing

#endif
