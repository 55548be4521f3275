// velsetup: rehearses installer actions of _velsetup against a simulated
// machine and prints what they showed and did. See options.h.
#include "setup/tool/exports_table.h"
#include "setup/tool/options.h"
#include "setup/tool/rehearsal.h"

#include <iostream>
#include <string>
#include <vector>

int main(int argc, char** argv) {
  std::vector<std::string> args(argv + 1, argv + argc);
  // As every program of the project: --help and --version alone answer on
  // stdout and succeed.
  if (args.size() == 1 && (args[0] == "--help" || args[0] == "-h")) {
    std::cout << velsetup::tool::Usage();
    return 0;
  }
  if (args.size() == 1 && args[0] == "--version") {
    std::cout << "velsetup " VELMON_VERSION "\n";
    return 0;
  }
  std::string error;
  auto options = velsetup::tool::ParseOptions(args, error);
  if (!options) {
    std::cerr << "velsetup: " << error << "\n" << velsetup::tool::Usage();
    return 2;
  }
  std::string library = options->library.empty() ? velsetup::tool::DefaultLibraryPath() : options->library;
  auto exports = velsetup::tool::LoadExports(library, error);
  if (!exports) {
    std::cerr << "velsetup: " << error << "\n";
    return 2;
  }
  return velsetup::tool::Rehearse(*options, *exports, std::cout);
}
