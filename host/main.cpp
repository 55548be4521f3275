// velmond: plays the Windows SNMP service for an extension agent. Builds the
// simulated world, loads the agent, serves its view through net-snmp,
// forwards its traps, mirrors its event-log entries to stderr and follows
// edits of the world file (SIGHUP: read it again now), until SIGINT or SIGTERM.
#include <pthread.h>
#include <signal.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <memory>
#include <string>
#include <thread>

#include "host/agent_library.h"
#include "host/world/default_world.h"
#include "host/eventlog_mirror.h"
#include "host/log.h"
#include "host/options.h"
#include "host/snmp/access_directives.h"
#include "host/snmp/snmp_server.h"
#include "host/thread_names.h"
#include "host/trap_pump.h"
#include "host/world/world_apply.h"
#include "host/world/world_parse.h"
#include "host/world/world_watch.h"

namespace velmond {
namespace {

// The agent's threads never end and the platform's globals outlive no one,
// so the process leaves without running static destructors.
[[noreturn]] void Leave(int code) {
  std::fflush(nullptr);
  _exit(code);
}

// The signals one thread takes with sigwait: stop, and reload (SIGHUP).
sigset_t HandledSignals() {
  sigset_t set;
  sigemptyset(&set);
  sigaddset(&set, SIGINT);
  sigaddset(&set, SIGTERM);
  sigaddset(&set, SIGHUP);
  return set;
}

std::string QueryHint(const std::string& endpoint, const std::string& community) {
  // "udp:127.0.0.1:1161" is queried as 127.0.0.1:1161; other transports as given.
  std::string target = endpoint.rfind("udp:", 0) == 0 ? endpoint.substr(4) : endpoint;
  return "snmpwalk -v2c -c " + community + " " + target + " .1.3.6.1.4.1.32473";
}

// What the listening log line says about who may ask.
std::string AccessSummary(const ServerConfig& config) {
  std::string versions;
  if (!config.noV1) versions = "v1";
  if (!config.noV2c) versions += versions.empty() ? "v2c" : " and v2c";
  std::string text = versions.empty() ? "" : "SNMP " + versions + ", read-only community \"" + config.community + "\"";
  if (!versions.empty() && !config.communitySources.empty()) {
    std::string sources;
    for (const std::string& source : config.communitySources) sources += (sources.empty() ? "" : ", ") + source;
    text += " from " + sources;
  }
  if (!config.users.empty()) {
    text += (text.empty() ? "" : "; ") + std::string("SNMPv3, ") + std::to_string(config.users.size()) + " user(s)";
  }
  return text;
}

int Run(Options options) {
  // Every thread started from here on inherits the blocked signals; one
  // thread takes them with sigwait.
  sigset_t handledSignals = HandledSignals();
  pthread_sigmask(SIG_BLOCK, &handledSignals, nullptr);
  // A dropped AgentX connection must not end the process.
  signal(SIGPIPE, SIG_IGN);

  // Before the agent starts any: world faults may name its threads.
  NameAgentThreads();
  std::string error;
  ParsedWorld parsed = options.worldFile.empty() ? ParseWorldText(DefaultWorldText(), "<embedded default world>", ".")
                                                 : ParseWorldFile(options.worldFile);
  if (!parsed.world) {
    Log(parsed.error);
    return 1;
  }
  if (!options.local.empty() && !ServeAsLocal(*parsed.world, options.local, error)) {
    Log((options.worldFile.empty() ? std::string("<embedded default world>") : options.worldFile) + ": " + error);
    return 1;
  }
  PrepareLocalMachine(*parsed.world);
  ApplyReport applied = ApplyWorld(nullptr, *parsed.world);
  for (const std::string& problem : applied.problems) Log(problem);
  options.server.sysName = parsed.world->local;
  options.server.sysDescr = "velmon cluster agent " VELMON_VERSION " on " + parsed.world->local +
                            " (simulated Windows NT host)";
  Log("world: " + (options.worldFile.empty() ? std::string("embedded default (two-member Oracle RAC)")
                                             : options.worldFile) +
      ", local machine " + parsed.world->local + ", " + std::to_string(parsed.world->machines.size()) +
      " machine(s)");

  EventLogMirror mirror;
  mirror.Start();

  auto agent = AgentLibrary::Load(options.agentLibrary, error);
  if (!agent) {
    Log(error);
    return 1;
  }
  Oid view;
  if (!agent->Init(view)) {
    Log("SnmpExtensionInit of " + options.agentLibrary + " failed");
    mirror.Stop();
    return 1;
  }

  // Never destroyed: the signal thread may still be waking it while the
  // process leaves.
  SnmpServer& server = *new SnmpServer;
  AgentLibrary& agentRef = *agent;
  QueryFunction query = [&agentRef](Pdu pdu, std::vector<Binding>& bindings) { return agentRef.Query(pdu, bindings); };
  if (!server.Start(options.server, view, query, error)) {
    Log(error);
    mirror.Stop();
    return 1;
  }
  Log("agent " + options.agentLibrary + " serves " + ToString(view));
  if (options.server.agentxSocket.empty()) {
    Log("listening on " + server.Endpoint() + " (" + AccessSummary(options.server) + ")");
    if (!server.EngineId().empty()) {
      Log("SNMPv3 engine " + server.EngineId() + ", boots " + std::to_string(server.EngineBoots()) + " (state in " +
          options.server.stateDir + ")");
    }
    bool communities = !options.server.noV1 || !options.server.noV2c;
    if (communities && options.server.community == "public" && !IsLoopbackEndpoint(server.Endpoint())) {
      Log("warning: listening beyond loopback with the well-known community \"public\" in clear text; choose "
          "another --community, limit it with --community-source, or use SNMPv3 only (--no-v1 --no-v2c)");
    }
    if (communities) Log("try: " + QueryHint(server.Endpoint(), options.server.community));
  } else {
    Log("AgentX subagent of the master at " + options.server.agentxSocket);
    if (!options.server.users.empty() || !options.server.communitySources.empty()) {
      Log("note: as a subagent velmond leaves access control (communities, SNMPv3 users) to the master");
    }
  }
  for (const std::string& sink : options.server.trapSinks) {
    Log("traps go to " + sink + (options.server.trapVersion == TrapVersion::V1 ? " as v1 traps" : " as v2c notifications"));
  }

  TrapPump pump(*agent, [&server](Trap trap) { server.PostTrap(std::move(trap)); });
  pump.Start();

  // Never destroyed, like the server: a SIGHUP may still reach it while the
  // process leaves.
  WorldWatcher* watcher = nullptr;
  if (!options.worldFile.empty()) {
    watcher = new WorldWatcher(options.worldFile, std::move(*parsed.world), parsed.sources, options.local);
    watcher->Start();
  }

  std::thread signals([&server, handledSignals, reloader = watcher] {
    int received = 0;
    while (sigwait(&handledSignals, &received) == 0) {
      if (received != SIGHUP) {
        Log(std::string("stopping on ") + (received == SIGINT ? "SIGINT" : "SIGTERM"));
        server.Stop();
        return;
      }
      Log(reloader ? "SIGHUP: reading the world file again" : "SIGHUP ignored: the embedded world never changes");
      if (reloader) reloader->ReloadNow();
    }
  });
  signals.detach();

  server.Run();

  if (watcher) watcher->Stop();
  pump.Stop();
  server.Shutdown();
  mirror.Stop();
  Log("stopped");
  return 0;
}

}  // namespace
}  // namespace velmond

int main(int argc, char** argv) {
  int exitCode = 0;
  auto options = velmond::ParseOptions(argc, argv, exitCode);
  if (!options) return exitCode;
  velmond::Leave(velmond::Run(*options));
}
