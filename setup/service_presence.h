// Whether the local machine has a service of the given name. Failures other
// than "no such service" and "invalid name" are reported ("OpenSCManager()",
// "IsServicePresent()").
// Thread-safety: see silent_mode.h.
#ifndef VELSETUP_SERVICE_PRESENCE_H
#define VELSETUP_SERVICE_PRESENCE_H

namespace velsetup {

bool IsServiceInstalled(const char* serviceName);

}  // namespace velsetup

#endif
