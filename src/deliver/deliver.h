// Delivery of the live app's footprint to an ECAD tool: KiCad gets the
// .kicad_mod through the desktop bridge, Fusion 360 an EAGLE library through
// the bridge, Altium and OrCAD an EAGLE library kept in the work folder (their
// bridges do not exist yet). No HTTP here: the server's "/deliver" route hands
// over the request body and a copy of the footprint and sends back the answer.
#pragma once

#include <chrono>
#include <string>
#include <string_view>

#include "base/json.h"

inline constexpr char kGeneratorProgram[] = "tovik-lbr";

// Where the bridge's missing desktop sides are asked for.
inline constexpr char kBridgeDocsUrl[] =
    "https://github.com/tovik-dev/tovik-desktop/wiki/Contributing-a-bridge";

struct FootprintToDeliver {
  std::string name;       // the session's footprint name
  std::string kicad_mod;  // the session's footprint text; empty when none is loaded
};

struct DeliveryOptions {
  // Each run of tovik-lbr or tovik-desktop is killed after this long, so a
  // hung program cannot hold the server's only request thread for ever.
  std::chrono::milliseconds time_limit = std::chrono::seconds(120);
};

// The JSON answer to POST "/deliver" with `request_body` (an object with an
// optional string `target`; anything else means "kicad"). Every outcome,
// failures included, is an object to be sent with status 200. Writes the work
// files and runs the external programs; never touches the session.
Json deliver_footprint(std::string_view request_body, const FootprintToDeliver& footprint,
                       const DeliveryOptions& options = {});

// "{tmp}/tovik-footprint-deliver-{pid}", tmp being $TMPDIR, or /tmp when that
// is unset or empty.
std::string delivery_work_folder();

// The footprint name with every "/" and blank replaced by "_": the stem of
// the work files.
std::string safe_file_stem(std::string_view footprint_name);
