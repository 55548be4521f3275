// Parsing the rehearsal tool's command line.
#include "setup/tool/options.h"

#include <charconv>
#include <set>
#include <sstream>

namespace velsetup::tool {
namespace {

const std::set<std::string> kPlainActions = {"StopSNMP", "StartSNMP", "CreateRACUser", "DeleteRACUser"};
const std::set<std::string> kActionsWithArgument = {"IsServicePresent", "GetProductVersion"};

std::optional<DWORD> Number(const std::string& text) {
  DWORD value = 0;
  auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), value);
  if (ec != std::errc() || end != text.data() + text.size() || text.empty()) return std::nullopt;
  return value;
}

// "A=B" split at the first '='; nullopt without one or with an empty A.
std::optional<std::pair<std::string, std::string>> Pair(const std::string& text, char separator) {
  auto at = text.find(separator);
  if (at == std::string::npos || at == 0) return std::nullopt;
  return std::make_pair(text.substr(0, at), text.substr(at + 1));
}

std::vector<std::string> Split(const std::string& text, char separator) {
  std::vector<std::string> parts;
  std::stringstream stream(text);
  for (std::string part; std::getline(stream, part, separator);)
    if (!part.empty()) parts.push_back(part);
  return parts;
}

bool ApplyServiceKey(ServiceSpec& shape, const std::string& key, const std::string& value, std::string& error) {
  if (key == "display") {
    shape.displayName = value;
  } else if (key == "depends") {
    shape.dependencies = Split(value, '+');
  } else if (key == "state" && (value == "running" || value == "stopped")) {
    shape.state = value == "running" ? SERVICE_RUNNING : SERVICE_STOPPED;
  } else if (key == "hang" && (value == "start" || value == "stop")) {
    shape.hangs = value == "start" ? Transition::Start : Transition::Stop;
  } else if (key == "start" || key == "stop" || key == "fail") {
    auto number = Number(value);
    if (!number) {
      error = "not a number: " + key + "=" + value;
      return false;
    }
    (key == "start" ? shape.startMs : key == "stop" ? shape.stopMs : shape.startFailure) = *number;
  } else {
    error = "unknown service setting: " + key + "=" + value;
    return false;
  }
  return true;
}

}  // namespace

std::optional<ServiceSpec> ParseServiceSpec(const std::string& text, std::string& error) {
  ServiceSpec shape;
  auto colon = text.find(':');
  shape.name = text.substr(0, colon);
  if (shape.name.empty()) {
    error = "a service needs a name: " + text;
    return std::nullopt;
  }
  if (colon == std::string::npos) return shape;
  for (const std::string& setting : Split(text.substr(colon + 1), ',')) {
    auto pair = Pair(setting, '=');
    if (!pair) {
      error = "expected key=value: " + setting;
      return std::nullopt;
    }
    if (!ApplyServiceKey(shape, pair->first, pair->second, error)) return std::nullopt;
  }
  return shape;
}

std::optional<Options> ParseOptions(const std::vector<std::string>& args, std::string& error) {
  Options options;
  for (std::size_t i = 0; i < args.size(); ++i) {
    const std::string& arg = args[i];
    auto value = [&]() -> std::optional<std::string> {
      if (i + 1 >= args.size()) {
        error = arg + " needs a value";
        return std::nullopt;
      }
      return args[++i];
    };
    if (arg == "--silent") {
      options.properties["INST_MODE"] = "SILENT";
    } else if (arg == "--no-handle") {
      options.noHandle = true;
    } else if (arg == "--no-log") {
      options.createLog = false;
    } else if (arg == "--property" || arg == "--version-file" || arg == "--user") {
      auto text = value();
      if (!text) return std::nullopt;
      auto pair = Pair(*text, arg == "--user" ? ':' : '=');
      if (!pair) {
        error = arg + " expects " + (arg == "--user" ? "NAME:PASSWORD" : "NAME=VALUE") + ": " + *text;
        return std::nullopt;
      }
      if (arg == "--property")
        options.properties[pair->first] = pair->second;
      else if (arg == "--user")
        options.users.push_back(*pair);
      else
        options.versionFiles.push_back(*pair);
    } else if (arg == "--service") {
      auto text = value();
      if (!text) return std::nullopt;
      auto shape = ParseServiceSpec(*text, error);
      if (!shape) return std::nullopt;
      options.services.push_back(*shape);
    } else if (arg == "--library") {
      auto text = value();
      if (!text) return std::nullopt;
      options.library = *text;
    } else if (kPlainActions.count(arg)) {
      options.actions.push_back({arg, ""});
    } else if (auto pair = Pair(arg, '='); pair && kActionsWithArgument.count(pair->first)) {
      options.actions.push_back({pair->first, pair->second});
    } else {
      error = "unknown argument: " + arg;
      return std::nullopt;
    }
  }
  if (options.actions.empty()) {
    error = "no action given";
    return std::nullopt;
  }
  return options;
}

const char* Usage() {
  return "usage: velsetup [options] ACTION...\n"
         "       velsetup --help | --version\n"
         "  ACTION: StopSNMP | StartSNMP | CreateRACUser | DeleteRACUser |\n"
         "          IsServicePresent=NAME | GetProductVersion=FILE   (run in order)\n"
         "  --property NAME=VALUE     installer property (INST_MODE=SILENT: silent)\n"
         "  --silent                  same as --property INST_MODE=SILENT\n"
         "  --no-handle               pass installer handle 0\n"
         "  --service NAME[:k=v,...]  a service; keys display, depends (A+B),\n"
         "                            state (running|stopped), start, stop (ms),\n"
         "                            hang (start|stop), fail (exit code)\n"
         "  --user NAME:PASSWORD      an existing local account\n"
         "  --version-file PATH=VER   a file with product version VER\n"
         "  --no-log                  do not create the setup log beforehand\n"
         "  --library PATH            the _velsetup library to load\n"
         "Without --service: SNMP running with two running dependents.\n";
}

}  // namespace velsetup::tool
