#include "server/live_state.h"

Slot<std::optional<LiveSession>>& session_slot() {
  static Slot<std::optional<LiveSession>> slot;
  return slot;
}

Slot<std::optional<std::string>>& source_path_slot() {
  static Slot<std::optional<std::string>> slot;
  return slot;
}
