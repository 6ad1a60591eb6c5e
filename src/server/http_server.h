// The live app server: listens on all IPv4 interfaces, reads requests on a
// small pool of network threads and hands each complete request to the thread
// that called run_live_server, which routes them one at a time in arrival
// order. Connections wait for their reply without blocking anyone else, so an
// idle keep-alive connection or a slow client holds up nobody.
#pragma once

#include <cstdint>

#include "base/error.h"

// Starts the server on `port` (0 picks a free port), writes the start-up line
// "[tovik-footprint] serving on http://127.0.0.1:{port}" to standard error,
// announces the port to the container host, and serves until a POST to
// "/shutdown" has been answered. Then withdraws the announcement and returns.
// Fails with "bind {port}: {reason}" when it cannot listen; nothing has been
// printed or announced then.
// REQUIRES: called at most once per process.
Status run_live_server(uint16_t port);
