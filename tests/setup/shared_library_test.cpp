// lib_velsetup.so as the installer engine sees it: loaded by name, exporting
// the six actions and nothing of its insides; and the rehearsal of a stop and
// start of SNMP with two dependents through it, printed in order.
#include "setup/support/setup_fixture.h"
#include "setup/tool/exports_table.h"
#include "setup/tool/options.h"
#include "setup/tool/rehearsal.h"

#include <filesystem>
#include <sstream>

namespace velsetup::test {
namespace {

// The build puts the library in <build>/setup and this program in
// <build>/tests.
std::string BuiltLibrary() {
  auto program = std::filesystem::read_symlink("/proc/self/exe");
  return (program.parent_path().parent_path() / "setup" / "lib_velsetup.so").string();
}

TEST(SharedLibrary, ExportsTheSixActionsAndNothingElseOfItsOwn) {
  std::string error;
  auto exports = tool::LoadExports(BuiltLibrary(), error);
  ASSERT_TRUE(exports) << error;

  HMODULE module = LoadLibraryA(BuiltLibrary().c_str());
  ASSERT_NE(nullptr, module);
  for (const char* hidden : {"_ZN8velsetup10SilentModeE", "_ZN8velsetup15ReadInstallModeEj",
                             "_ZN8velsetup16ReportSetupErrorEPKcj"})
    EXPECT_EQ(nullptr, GetProcAddress(module, hidden)) << hidden;
  FreeLibrary(module);

  auto options = tool::ParseOptions({"StopSNMP", "StartSNMP"}, error);
  ASSERT_TRUE(options);
  std::ostringstream out;
  EXPECT_EQ(0, tool::Rehearse(*options, *exports, out));
  const std::string text = out.str();
  std::size_t at = 0;
  for (const char* step :
       {"Stopping dependent services of: SNMP ...", "Stopping service: Cluster Trap Relay ...",
        "service control manager: stop ClusterTrapRelay", "Stopping service: Host MIB Extension ...",
        "service control manager: stop HostMibExtension", "Stopping service: SNMP...",
        "service control manager: stop SNMP", "StopSNMP returned 0", "Starting service: SNMP ...",
        "service control manager: start SNMP", "Starting service: Cluster Trap Relay ...",
        "Starting service: Host MIB Extension ...", "StartSNMP returned 0", "SNMP (SNMP Service): running",
        "vlmsetup.log (0 bytes)"}) {
    std::size_t found = text.find(step, at);
    ASSERT_NE(std::string::npos, found) << "missing in order: " << step << "\n" << text;
    at = found;
  }
}

}  // namespace
}  // namespace velsetup::test
