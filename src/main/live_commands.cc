// The two commands of the live app: `serve` runs the server (after loading
// the --file footprint as its session), `ui` drives the page it serves.
#include "main/commands.h"

#include "server/http_server.h"
#include "server/session.h"
#include "server/ui_client.h"

Status run_serve(const ServeArgs& args) {
  if (args.file) RETURN_IF_ERROR(preload_session(*args.file));
  return run_live_server(args.port);
}

Status run_ui(const UiArgs& args) { return run_ui_command(args.action, args.args, args.port); }
