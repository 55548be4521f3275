// Reloading the world file when it changes.
#include "host/world/world_watch.h"

#include <sys/stat.h>

#include <chrono>
#include <ctime>
#include <fstream>
#include <utility>

#include "host/log.h"
#include "host/world/world_apply.h"
#include "host/world/world_parse.h"

namespace velmond {

WorldWatcher::WorldWatcher(std::string path, WorldModel current, std::vector<std::string> sources)
    : path_(std::move(path)), current_(std::move(current)), sources_(std::move(sources)) {
  if (sources_.empty()) sources_.push_back(path_);
  seen_ = Snapshot();
}

WorldWatcher::~WorldWatcher() { Stop(); }

void WorldWatcher::Start() {
  if (thread_.joinable()) return;
  thread_ = std::thread([this] {
    std::unique_lock lock(mutex_);
    while (!stop_) {
      const bool reload = std::exchange(reload_, false);
      lock.unlock();
      // What is on disk now counts as already seen once, so it loads at once.
      if (reload) settling_ = Snapshot();
      Poll();
      lock.lock();
      wake_.wait_for(lock, std::chrono::milliseconds(200), [this] { return stop_ || reload_; });
    }
  });
}

void WorldWatcher::Stop() {
  {
    std::lock_guard lock(mutex_);
    stop_ = true;
  }
  wake_.notify_all();
  if (thread_.joinable()) thread_.join();
}

void WorldWatcher::ReloadNow() {
  {
    std::lock_guard lock(mutex_);
    reload_ = true;
  }
  wake_.notify_all();
}

std::string WorldWatcher::Snapshot() const {
  std::string snapshot;
  for (const std::string& source : sources_) {
    std::ifstream in(source, std::ios::binary);
    std::string bytes = in ? std::string((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>())
                           : std::string("\x01missing");
    snapshot += source + '\0' + std::to_string(bytes.size()) + '\0' + bytes;
  }
  return snapshot;
}

namespace {

// File times come from a coarse clock, so two writes a few milliseconds apart
// can leave the same time and size; a file touched this recently is always
// read in full.
constexpr std::time_t kRecentSeconds = 2;

}  // namespace

std::string WorldWatcher::StatSignature(bool* recent) const {
  std::string signature;
  const std::time_t now = std::time(nullptr);
  for (const std::string& source : sources_) {
    struct stat info {};
    signature += source + '\0';
    if (::stat(source.c_str(), &info) != 0) {
      signature += "missing";
      continue;
    }
    if (info.st_mtim.tv_sec + kRecentSeconds >= now || info.st_ctim.tv_sec + kRecentSeconds >= now) *recent = true;
    signature += std::to_string(info.st_dev) + ':' + std::to_string(info.st_ino) + ':' +
                 std::to_string(info.st_size) + ':' + std::to_string(info.st_mtim.tv_sec) + '.' +
                 std::to_string(info.st_mtim.tv_nsec) + ':' + std::to_string(info.st_ctim.tv_sec) + '.' +
                 std::to_string(info.st_ctim.tv_nsec) + '\0';
  }
  return signature;
}

WorldWatcher::Step WorldWatcher::Poll() {
  // Reading and comparing a large world every look costs more than the agent
  // does while it answers; files whose metadata stand still since the last
  // look are not read again.
  bool recent = false;
  std::string signature = StatSignature(&recent);
  if (settling_.empty() && !recent && signature == statSeen_) return Step::Unchanged;
  statSeen_ = std::move(signature);
  std::string now = Snapshot();
  if (now == seen_) {
    settling_.clear();
    return Step::Unchanged;
  }
  if (now != settling_) {
    // An editor may still be writing; look again before loading.
    settling_ = now;
    return Step::Settling;
  }
  settling_.clear();
  ParsedWorld parsed = ParseWorldFile(path_);
  if (!parsed.world) {
    // Follow the files the broken world names, so that a .reg file it is
    // missing is loaded when it appears.
    bool sameSources = parsed.sources == sources_;
    sources_ = std::move(parsed.sources);
    seen_ = sameSources ? now : Snapshot();
    Log("world edit ignored, the last good world stays: " + parsed.error);
    return Step::Rejected;
  }
  if (!velplat::EqualsNoCase(parsed.world->local, current_.local)) {
    seen_ = now;
    Log("world edit ignored, the last good world stays: " + path_ + ": the local machine cannot change from \"" +
        current_.local + "\" to \"" + parsed.world->local + "\" while velmond runs");
    return Step::Rejected;
  }
  ApplyReport report = ApplyWorld(&current_, *parsed.world);
  for (const std::string& problem : report.problems) Log(problem);
  current_ = std::move(*parsed.world);
  sources_ = std::move(parsed.sources);
  seen_ = Snapshot();
  Log("world file " + path_ + " changed: " + std::to_string(report.changes) + " change(s) applied");
  return Step::Applied;
}

}  // namespace velmond
