// Follows a world file (and the .reg files it names) while velmond runs.
// The watcher thread learns of changes from inotify on the directories that
// hold the files, so a write in place, an editor's atomic replace (write a
// temporary file, rename it over), a rename away and back, and a deletion
// followed by re-creation are all seen within milliseconds; a look at the
// files' metadata every second catches what notification cannot (a replaced
// directory, a system without inotify). When the contents differ from the
// world in force, the file is loaded again: a world that loads is applied as
// a difference to the one in force (host/world/world_apply.h); one that does
// not is reported once on stderr and ignored, and the last good world stays.
// The local machine cannot change while velmond runs.
//
// Thread-safety: Start and Stop from one thread; the watcher runs on its own.
// ReloadNow from any thread (it takes the watcher's lock); RequestReload from
// anywhere, a signal handler included. Poll may be called instead of Start,
// from one thread, to step it.
#ifndef VELMOND_WORLD_WATCH_H
#define VELMOND_WORLD_WATCH_H

#include <atomic>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "host/world/world_model.h"

namespace velmond {

class Notifier;

class WorldWatcher {
 public:
  // `local`, when not empty, is the machine served as the local one
  // (velmond --local) in every world loaded.
  WorldWatcher(std::string path, WorldModel current, std::vector<std::string> sources, std::string local = {});
  WorldWatcher(const WorldWatcher&) = delete;
  WorldWatcher& operator=(const WorldWatcher&) = delete;
  ~WorldWatcher();

  void Start();
  void Stop();

  enum class Step { Unchanged, Settling, Applied, Rejected };
  // One look at the files: a change is loaded once it has been seen twice.
  Step Poll();
  // Loads the files now if their contents differ from the world in force.
  Step ReloadNow();
  // Asks the watcher thread to ReloadNow; async-signal-safe.
  void RequestReload();
  // The world in force; only while nothing else changes it.
  const WorldModel& Current() const { return current_; }

 private:
  void Run();
  std::string Snapshot() const;
  // Identity, size and times of the followed files; `recent` is set when one
  // of them changed within the last seconds.
  std::string StatSignature(bool* recent) const;
  // Loads and applies the files whose contents are `now`. Requires state_.
  Step LoadLocked(const std::string& now);
  std::vector<std::string> Sources();

  std::string path_;
  std::string local_;
  std::mutex state_;      // guards what follows, up to the thread's own state
  WorldModel current_;
  std::vector<std::string> sources_;
  std::string seen_;      // contents of the world in force, or of the last rejected edit
  std::string settling_;  // contents seen once, waiting to be seen again
  std::string statSeen_;  // StatSignature at the last full look
  int wake_ = -1;         // eventfd: stop or reload requested
  std::atomic<bool> stop_{false};
  std::atomic<bool> reload_{false};
  std::unique_ptr<Notifier> notifier_;  // made by Start, then the thread's
  std::thread thread_;
};

}  // namespace velmond

#endif
