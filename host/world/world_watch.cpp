// Reloading the world file when it changes.
#include "host/world/world_watch.h"

#include <poll.h>
#include <sys/eventfd.h>
#include <sys/inotify.h>
#include <sys/stat.h>
#include <unistd.h>

#include <chrono>
#include <ctime>
#include <filesystem>
#include <fstream>
#include <map>
#include <set>

#include "host/log.h"
#include "host/world/world_apply.h"
#include "host/world/world_parse.h"

namespace velmond {

WorldWatcher::WorldWatcher(std::string path, WorldModel current, std::vector<std::string> sources, std::string local)
    : path_(std::move(path)), local_(std::move(local)), current_(std::move(current)), sources_(std::move(sources)) {
  if (sources_.empty()) sources_.push_back(path_);
  seen_ = Snapshot();
  wake_ = ::eventfd(0, EFD_NONBLOCK | EFD_CLOEXEC);
}

void WorldWatcher::Stop() {
  stop_ = true;
  RequestReload();
  if (thread_.joinable()) thread_.join();
}

void WorldWatcher::RequestReload() {
  reload_ = true;
  std::uint64_t one = 1;
  if (wake_ >= 0) [[maybe_unused]] auto written = ::write(wake_, &one, sizeof one);
}

std::vector<std::string> WorldWatcher::Sources() {
  std::lock_guard lock(state_);
  return sources_;
}

namespace {

// Without notification, or when it misses something, the files are looked at
// this often.
constexpr int kLookMs = 1000;
constexpr int kLookWithoutNotificationMs = 200;
// After a notification, events closer than this belong to the same edit.
constexpr int kQuietMs = 5;
constexpr int kLongestEditMs = 200;

// The directories holding `sources`, each with the names followed in it.
std::map<std::string, std::set<std::string>> Directories(const std::vector<std::string>& sources) {
  std::map<std::string, std::set<std::string>> dirs;
  for (const std::string& source : sources) {
    std::filesystem::path path(source);
    std::string dir = path.parent_path().string();
    dirs[dir.empty() ? "." : dir].insert(path.filename().string());
  }
  return dirs;
}

}  // namespace

// inotify on the directories of the followed files.
class Notifier {
 public:
  Notifier() : fd_(::inotify_init1(IN_NONBLOCK | IN_CLOEXEC)) {}
  ~Notifier() {
    if (fd_ >= 0) ::close(fd_);
  }
  Notifier(const Notifier&) = delete;
  Notifier& operator=(const Notifier&) = delete;

  int Fd() const { return fd_; }

  // Follows the directories of `sources`, and only those.
  void Follow(const std::vector<std::string>& sources) {
    if (fd_ < 0) return;
    auto wanted = Directories(sources);
    if (wanted == names_ && complete_) return;
    for (const auto& [wd, dir] : dirs_) ::inotify_rm_watch(fd_, wd);
    dirs_.clear();
    names_ = wanted;
    complete_ = true;
    for (const auto& [dir, files] : names_) {
      int wd = ::inotify_add_watch(fd_, dir.c_str(),
                                   IN_CLOSE_WRITE | IN_MODIFY | IN_MOVED_TO | IN_MOVED_FROM | IN_CREATE | IN_DELETE |
                                       IN_ATTRIB | IN_DELETE_SELF | IN_MOVE_SELF);
      if (wd >= 0) {
        dirs_[wd] = dir;
      } else {
        complete_ = false;  // a missing directory: tried again at the next look
      }
    }
  }

  // Reads the pending events; true when one of them may concern a followed
  // file (or the watches need renewing).
  bool Drain() {
    bool relevant = false;
    alignas(inotify_event) char buffer[4096];
    for (;;) {
      ssize_t got = ::read(fd_, buffer, sizeof buffer);
      if (got <= 0) return relevant;
      for (char* at = buffer; at < buffer + got;) {
        const auto* event = reinterpret_cast<const inotify_event*>(at);
        at += sizeof(inotify_event) + event->len;
        if (event->mask & (IN_Q_OVERFLOW | IN_IGNORED | IN_DELETE_SELF | IN_MOVE_SELF)) {
          complete_ = false;
          relevant = true;
          continue;
        }
        auto dir = dirs_.find(event->wd);
        if (dir != dirs_.end() && event->len > 0 && names_[dir->second].count(event->name)) relevant = true;
      }
    }
  }

 private:
  int fd_;
  std::map<int, std::string> dirs_;
  std::map<std::string, std::set<std::string>> names_;
  bool complete_ = false;
};

namespace {

bool Readable(int fd, int timeoutMs) {
  pollfd one{fd, POLLIN, 0};
  return ::poll(&one, 1, timeoutMs) > 0;
}

}  // namespace

void WorldWatcher::Start() {
  if (thread_.joinable()) return;
  // Following the files before Start returns: an edit right after it is seen.
  notifier_ = std::make_unique<Notifier>();
  notifier_->Follow(Sources());
  thread_ = std::thread([this] { Run(); });
}

WorldWatcher::~WorldWatcher() {
  Stop();
  if (wake_ >= 0) ::close(wake_);
}

void WorldWatcher::Run() {
  Notifier& notifier = *notifier_;
  const int lookMs = notifier.Fd() >= 0 ? kLookMs : kLookWithoutNotificationMs;
  while (!stop_) {
    pollfd fds[2] = {{wake_, POLLIN, 0}, {notifier.Fd(), POLLIN, 0}};
    int ready = ::poll(fds, notifier.Fd() >= 0 ? 2 : 1, lookMs);
    if (stop_) break;
    if (fds[0].revents & POLLIN) {
      std::uint64_t count;
      [[maybe_unused]] auto got = ::read(wake_, &count, sizeof count);
    }
    bool changed = false;
    if (notifier.Fd() >= 0 && (fds[1].revents & POLLIN)) {
      changed = notifier.Drain();
      // An edit is often several events (truncate, writes, close, rename):
      // wait for a moment without any before reading.
      auto until = std::chrono::steady_clock::now() + std::chrono::milliseconds(kLongestEditMs);
      while (changed && Readable(notifier.Fd(), kQuietMs) && std::chrono::steady_clock::now() < until) notifier.Drain();
      // Deleted to be written anew: the creation is the edit. A file that
      // stays away is reported by the looks.
      std::error_code ignored;
      if (changed && !std::filesystem::exists(path_, ignored)) changed = false;
    }
    if (reload_.exchange(false) || changed) {
      ReloadNow();
    } else if (ready == 0) {
      Poll();
    }
    notifier.Follow(Sources());
  }
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
  std::lock_guard lock(state_);
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
  return LoadLocked(now);
}

WorldWatcher::Step WorldWatcher::ReloadNow() {
  std::lock_guard lock(state_);
  std::string now = Snapshot();
  if (now == seen_) return Step::Unchanged;
  return LoadLocked(now);
}

WorldWatcher::Step WorldWatcher::LoadLocked(const std::string& now) {
  settling_.clear();
  ParsedWorld parsed = ParseWorldFile(path_);
  std::string error = parsed.error;
  if (parsed.world && !local_.empty() && !ServeAsLocal(*parsed.world, local_, error)) error = path_ + ": " + error;
  if (!parsed.world || !error.empty()) {
    // Follow the files the broken world names, so that a .reg file it is
    // missing is loaded when it appears.
    bool sameSources = parsed.sources == sources_;
    sources_ = std::move(parsed.sources);
    seen_ = sameSources ? now : Snapshot();
    Log("world edit ignored, the last good world stays: " + error);
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
  // What was read before parsing, not after applying: an edit saved while
  // this one was applied would otherwise count as seen and never be loaded.
  // When the world now names other files, their contents are read here.
  bool sameSources = parsed.sources == sources_;
  sources_ = std::move(parsed.sources);
  seen_ = sameSources ? now : Snapshot();
  Log("world file " + path_ + " changed: " + std::to_string(report.changes) + " change(s) applied");
  return Step::Applied;
}

}  // namespace velmond
