// Follows a world file (and the .reg files it names) while velmond runs.
// When their contents change and then stay the same for one more look, the
// file is loaded again: a world that loads is applied as a difference to the
// one in force (host/world/world_apply.h); one that does not is reported on stderr
// and ignored, and the last good world stays. Changes take effect within a
// second. The local machine cannot change while velmond runs.
//
// Thread-safety: Start and Stop from one thread; the watcher runs on its own.
// Poll may be called instead of Start, from one thread, to step it.
// ReloadNow may be called from any thread at any time.
#ifndef VELMOND_WORLD_WATCH_H
#define VELMOND_WORLD_WATCH_H

#include <condition_variable>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "host/world/world_model.h"

namespace velmond {

class WorldWatcher {
 public:
  WorldWatcher(std::string path, WorldModel current, std::vector<std::string> sources);
  WorldWatcher(const WorldWatcher&) = delete;
  WorldWatcher& operator=(const WorldWatcher&) = delete;
  ~WorldWatcher();

  void Start();
  void Stop();

  // Asks the running watcher to load the files at its next look without
  // waiting for them to settle (SIGHUP: whoever sends it vouches that the
  // edit is complete). Unchanged files stay as they are.
  void ReloadNow();

  enum class Step { Unchanged, Settling, Applied, Rejected };
  // One look at the files.
  Step Poll();
  const WorldModel& Current() const { return current_; }

 private:
  std::string Snapshot() const;
  // Identity, size and times of the followed files; `recent` is set when one
  // of them changed within the last seconds.
  std::string StatSignature(bool* recent) const;

  std::string path_;
  WorldModel current_;
  std::vector<std::string> sources_;
  std::string seen_;      // contents of the world in force, or of the last rejected edit
  std::string settling_;  // contents seen once, waiting to be seen again
  std::string statSeen_;  // StatSignature at the last full look
  std::mutex mutex_;
  std::condition_variable wake_;
  bool stop_ = false;
  bool reload_ = false;  // guarded by mutex_
  std::thread thread_;
};

}  // namespace velmond

#endif
