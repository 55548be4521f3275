// ReportSetupError: the one way the library reports a failure. It turns the
// system error code into the system's message text, shows the line
//   Failed: <operation>. Error code: <code>    message:  <text>.
// in an "Error" message box unless the installation runs silently, and
// appends it to the setup log (setup_log.h). The line is cut to 1,023
// characters. A code without a system text reads "Unknown error".
// Never fails and never ends the process.
// Thread-safety: runs on the installer's thread; see silent_mode.h.
#ifndef VELSETUP_SETUP_ERROR_H
#define VELSETUP_SETUP_ERROR_H

#include <windows.h>

#include <string>

namespace velsetup {

// `operation` is a method name ("Stop()"), a sentence or a service's display
// name.
void ReportSetupError(const char* operation, DWORD code);

// The report line for `operation` and `code`, without the line break.
std::string SetupErrorLine(const char* operation, DWORD code);

}  // namespace velsetup

#endif
