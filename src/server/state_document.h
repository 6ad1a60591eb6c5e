// The state document: everything the live app page shows of the session,
// as the JSON text GET "/state" answers (members in ascending key order).
//
// The page asks for it every second, so what only depends on the footprint
// text (extent, paste counts, the two texts) and the SVG's JSON form are kept
// for the session last asked about and computed again only when it changes.
// The chip metadata is read from the library on every call.
#pragma once

#include <string>

#include "server/live_state.h"

// The document of `session`; `source_known` tells whether "/save" has a
// file to write (it is `canSave` together with a non-empty footprint text).
// Called with the session lock held; takes the part library's root lock
// inside it and its own cache lock, which is never held while taking another.
std::string state_document_text(const LiveSession& session, bool source_known);
