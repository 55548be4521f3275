// mcgen: compiles a .mc message catalogue into the header of message
// identifiers and a C++ message table that registers itself with the
// platform under a module's file name. Run at build time by
// velmon_message_table() (cmake/MessageTable.cmake).
//
//   mcgen [--customer] --module velmon.dll --header out/velmon.h
//         --source out/velmon_messages.cpp velmon.mc
//
// --customer sets the customer bit in every identifier. Malformed input is
// reported as "<file>:<line>: error: <what>" and gives exit status 1.
#include "mc_catalogue.h"

#include <cstdio>
#include <fstream>
#include <iostream>
#include <sstream>
#include <string>

namespace {

int Usage() {
  std::cerr << "usage: mcgen [--customer] --module NAME --header OUT.h --source OUT.cpp INPUT.mc\n";
  return 2;
}

bool IsModuleName(const std::string& name) {
  if (name.empty()) return false;
  for (char c : name) {
    const bool ok = (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') || c == '.' ||
                    c == '_' || c == '-';
    if (!ok) return false;
  }
  return true;
}

std::string BaseName(const std::string& path) {
  const size_t slash = path.find_last_of("/\\");
  return slash == std::string::npos ? path : path.substr(slash + 1);
}

// Writes through a temporary file so that an interrupted run leaves no
// half-written output behind.
bool WriteFile(const std::string& path, const std::string& content) {
  const std::string temporary = path + ".tmp";
  {
    std::ofstream out(temporary, std::ios::binary | std::ios::trunc);
    out << content;
    if (!out.flush()) return false;
  }
  return std::rename(temporary.c_str(), path.c_str()) == 0;
}

}  // namespace

int main(int argc, char** argv) {
  std::string module, header, source, input;
  mcgen::CustomerBit customer = mcgen::CustomerBit::Clear;
  for (int i = 1; i < argc; ++i) {
    const std::string arg = argv[i];
    auto value = [&](std::string& slot) {
      if (i + 1 >= argc) return false;
      slot = argv[++i];
      return true;
    };
    if (arg == "--customer") {
      customer = mcgen::CustomerBit::Set;
    } else if (arg == "--module") {
      if (!value(module)) return Usage();
    } else if (arg == "--header") {
      if (!value(header)) return Usage();
    } else if (arg == "--source") {
      if (!value(source)) return Usage();
    } else if (!arg.empty() && arg[0] != '-' && input.empty()) {
      input = arg;
    } else {
      return Usage();
    }
  }
  if (module.empty() || header.empty() || source.empty() || input.empty()) return Usage();
  if (!IsModuleName(module)) {
    std::cerr << "mcgen: module name '" << module << "' must be a plain file name\n";
    return 2;
  }

  std::ifstream in(input, std::ios::binary);
  if (!in) {
    std::cerr << "mcgen: cannot read " << input << "\n";
    return 1;
  }
  std::stringstream text;
  text << in.rdbuf();

  const std::string name = BaseName(input);
  try {
    const mcgen::Catalogue catalogue = mcgen::Parse(text.str(), customer);
    if (!WriteFile(header, mcgen::WriteHeader(catalogue, name)) ||
        !WriteFile(source, mcgen::WriteTable(catalogue, name, module))) {
      std::cerr << "mcgen: cannot write " << header << " or " << source << "\n";
      return 1;
    }
  } catch (const mcgen::McError& error) {
    std::cerr << input << ":" << error.Line() << ": error: " << error.what() << "\n";
    return 1;
  }
  return 0;
}
