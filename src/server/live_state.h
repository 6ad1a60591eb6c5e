// The footprint the live app shows and the server's other process-wide
// slots that routes outside the eval bridge share.
//
// Each slot has its own lock. The only nesting allowed is `session` first,
// then `source_path` (or the part library's root override) while the state
// document is built; no code takes `session` while holding another slot's lock.
#pragma once

#include <cstdint>
#include <mutex>
#include <optional>
#include <string>
#include <utility>

// The footprint shown by the live app. Replaced as a whole, except that
// POST "/text" edits `kicadMod` in place.
struct LiveSession {
  std::string footprintName;
  std::string svg;          // the SVG the page shows
  std::string description;
  std::string tags;
  std::string kicadMod;     // empty when a client pushed only a picture
  std::string mpn;          // empty when unknown
  uint64_t padCount = 0;

  bool operator==(const LiveSession&) const = default;
};

// A value behind its own lock.
template <typename T>
class Slot {
 public:
  // Calls `f` with the value (by reference) while holding the lock and
  // returns what `f` returns.
  template <typename F>
  decltype(auto) with(F&& f) {
    std::lock_guard lock(mutex_);
    return std::forward<F>(f)(value_);
  }

  T get() {
    std::lock_guard lock(mutex_);
    return value_;
  }

  void set(T value) {
    std::lock_guard lock(mutex_);
    value_ = std::move(value);
  }

 private:
  std::mutex mutex_;
  T value_{};
};

// The live session; absent until something is loaded.
Slot<std::optional<LiveSession>>& session_slot();

// The `.kicad_mod` file the session came from, as the bytes of the path that
// was given (so "/save" writes the very file that was loaded); absent after a
// pushed footprint.
Slot<std::optional<std::string>>& source_path_slot();
