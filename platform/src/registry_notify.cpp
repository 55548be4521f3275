// Ending pending registrations, and delivering their signals once the tree is
// unlocked.
#include "registry_notify.h"

#include <algorithm>

namespace velplat::reg {
namespace {

// Ends the registrations of `key` that `matches` selects.
template <class Pred>
void FireWhere(Edit& edit, Key& key, Outcome outcome, Pred matches) {
  for (auto it = key.watches.begin(); it != key.watches.end();) {
    if (matches(**it)) {
      edit.Fire(**it, outcome);
      it = key.watches.erase(it);
    } else {
      ++it;
    }
  }
}

}  // namespace

Edit::Edit(Tree& tree) : tree_(tree), lock_(tree.mutex_) {}

Edit::~Edit() {
  lock_.unlock();
  if (wakeWaiters_) tree_.changed_.notify_all();
  for (HANDLE event : events_) SetEvent(event);
}

void Edit::Deliver() {
  if (wakeWaiters_) {
    tree_.changed_.notify_all();
    wakeWaiters_ = false;
  }
  if (events_.empty()) return;
  std::vector<HANDLE> events = std::move(events_);
  events_.clear();
  lock_.unlock();
  for (HANDLE event : events) SetEvent(event);
  lock_.lock();
}

void Edit::Fire(Watch& watch, Outcome outcome) {
  watch.outcome = outcome;
  if (watch.event)
    events_.push_back(watch.event);
  else
    wakeWaiters_ = true;
}

void Edit::WaitWhilePending(const Watch& watch) {
  Deliver();
  tree_.changed_.wait(lock_, [&] { return watch.outcome != Outcome::Pending; });
}

void ReportChange(Edit& edit, Key& key, DWORD change) {
  FireWhere(edit, key, Outcome::Changed, [&](const Watch& w) { return (w.filter & change) != 0; });
  for (Key* ancestor = key.parent; ancestor; ancestor = ancestor->parent)
    FireWhere(edit, *ancestor, Outcome::Changed, [&](const Watch& w) { return w.subtree && (w.filter & change) != 0; });
}

void ReportKeyDeleted(Edit& edit, Key& key) {
  FireWhere(edit, key, Outcome::KeyDeleted, [](const Watch&) { return true; });
}

void ReportHandleClosed(Edit& edit, Key& key, const void* owner) {
  FireWhere(edit, key, Outcome::HandleClosed, [&](const Watch& w) { return w.owner == owner; });
}

void AddWatch(Edit& edit, Key& key, std::shared_ptr<Watch> watch) {
  edit.WakeWaiters();  // for tests waiting to see the registration
  if (watch->event) {
    auto same = std::find_if(key.watches.begin(), key.watches.end(),
                             [&](const auto& w) { return w->event && w->owner == watch->owner; });
    if (same != key.watches.end()) {
      *same = std::move(watch);
      return;
    }
  }
  key.watches.push_back(std::move(watch));
}

}  // namespace velplat::reg
