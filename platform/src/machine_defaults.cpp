// Standard contents of a new machine's registry.
#include <velplat/registry.h>
#include <velplat/world.h>

namespace velplat::detail {

// Called by World while it holds its own lock: works on `machine` alone and
// must not call back into World.
void InstallMachineDefaults(Machine& machine) {
  registry::CreateKey("HKLM\\SOFTWARE", &machine);
  registry::CreateKey("HKLM\\SYSTEM\\CurrentControlSet\\Services\\EventLog\\System", &machine);
  registry::SetString("HKLM\\SYSTEM\\CurrentControlSet\\Control\\ComputerName\\ComputerName", "ComputerName",
                      machine.Name(), &machine);
}

}  // namespace velplat::detail
