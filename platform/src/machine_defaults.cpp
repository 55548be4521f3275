// Standard contents of a new machine's registry.
#include <velplat/world.h>

namespace velplat::detail {

void InstallMachineDefaults(Machine&) {}

}  // namespace velplat::detail
