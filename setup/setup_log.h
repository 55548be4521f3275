// The product's setup log, "<Windows directory>\vlmsystem\log\vlmsetup.log",
// shared with the product's other setup steps: every line is appended at the
// file's end through a handle opened for that one line, sharing reading and
// writing with everyone, so lines of several writers interleave whole.
//
// The log never ends the installer's process: a missing file (or folder) is
// created; a file that still cannot be opened is reported in a "LogFile
// Error" message box unless the installation runs silently, and the line is
// lost.
// Thread-safety: any thread; see silent_mode.h for the box.
#ifndef VELSETUP_SETUP_LOG_H
#define VELSETUP_SETUP_LOG_H

#include <string>
#include <string_view>

namespace velsetup {

std::string SetupLogPath();

// Appends `line` and CR LF.
void AppendSetupLogLine(std::string_view line);

}  // namespace velsetup

#endif
