// The footprint session: the routes that set, show, edit and save the
// footprint the live app displays, and the `serve --file` preload.
//
// Route handlers never fail: every bad input has its own reply.
#pragma once

#include <optional>
#include <string>
#include <string_view>

#include "base/error.h"
#include "base/json.h"
#include "server/live_state.h"
#include "server/reply.h"

// The page GET "/embed" answers while no footprint text is loaded.
inline constexpr char kEmbedNoticePage[] =
    "<!doctype html><meta charset=utf-8><body style=\"background:#0d1117;color:#8b949e;"
    "font-family:sans-serif;padding:24px\">No footprint loaded to embed.</body>";

// Loads the `.kicad_mod` file at `path` (as typed) as the session before the
// server starts: renders it, takes the part number from the name of the
// folder holding the file, points the part library at that folder's parent
// and remembers the path for "/save". Fails with "reading {path}: ..." and
// then changes nothing.
Status preload_session(const std::string& path);

// The part number a footprint file's path implies: the name of the folder
// that holds it; empty when there is none, when it is "." or "..", or when
// it is not UTF-8.
std::string part_number_from_path(const std::string& path);

// The session a POST "/load" body describes (either form), or nothing when
// the body is not JSON.
std::optional<LiveSession> session_from_load_body(std::string_view body);

// POST "/load": forgets the source file, then replaces the session with the
// pushed footprint (a body that is not JSON changes nothing more).
// Always {"ok":true}.
Reply load_session(std::string_view body);

// GET "/state": the state document, or "{}" when nothing is loaded.
Reply state_reply();

// POST "/text": moves (and optionally resizes) the reference and value texts
// of the session's footprint text. 400 without the four coordinates, 422
// without footprint text.
Reply move_texts(std::string_view body);

// POST "/save": writes the session's footprint text over its source file,
// after keeping the file's first contents as "{path}.orig". 422 when the
// footprint was pushed or has no text, 500 with the system's message when the
// file cannot be written.
Reply save_session();

// GET "/embed": the embed page of the session's footprint text, or
// kEmbedNoticePage.
Reply embed_reply();
