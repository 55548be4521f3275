// The process-wide silent flag.
#include "setup/silent_mode.h"

namespace velsetup {

std::int32_t SilentMode = 0;

}  // namespace velsetup
