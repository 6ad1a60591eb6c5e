// The eval bridge: how the `ui` command reaches the open page. The server
// keeps a queue of JavaScript expressions that the page takes by polling, the
// results the page posts back, and the last lines of the page's console.
//
// The handlers are the route bodies of "/eval", "/eval/pending",
// "/eval/{id}/result", "/eval/{id}" and "/console". None of them fails: bad
// bodies are absorbed and only an id text that is not a number gives 404.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "server/reply.h"

// Console lines kept; older ones are dropped.
inline constexpr size_t CONSOLE_LOG_LIMIT = 500;

// Empties the results and the console log (in that order). Called when the
// server starts; the queue and the id counter live as long as the process.
void reset_eval_results_and_console();

// An eval id from its decimal text: an optional "+", then one or more ASCII
// digits and nothing else, within 64 bits.
std::optional<uint64_t> parse_eval_id(std::string_view text);

// POST "/eval": queues the body's `code` (empty when missing) under a new id
// and answers {"id":"<id>"}.
Reply queue_eval(std::string_view body);

// GET "/eval/pending": removes and answers the oldest queued expression as
// {"code":...,"id":"<id>"}, or "{}" when the queue is empty.
Reply take_pending_eval();

// POST "/eval/{id}/result": stores the body (one JSON value) under the id,
// replacing an earlier one. Answers {"ok":true} whatever it stored.
Reply store_eval_result(std::string_view id_text, std::string_view body);

// Any method on "/eval/{id}": {"done":true,"result":<value>} when a result is
// stored, else {"done":false}; 404 when the id text is not a number.
Reply read_eval_result(std::string_view id_text);

// POST "/console": appends "[<level>] <msg>" (level "log" when missing).
// An invalid body stores nothing. Answers {"ok":true}.
Reply log_console(std::string_view body);

// GET "/console": {"lines":[...]} oldest first; the log is kept.
Reply read_console();

// The console lines, oldest first.
std::vector<std::string> console_lines();
