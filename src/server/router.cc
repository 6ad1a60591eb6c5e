#include "server/router.h"

#include <array>

#include "assets.h"
#include "deliver/deliver.h"
#include "server/eval_bridge.h"
#include "server/live_state.h"
#include "server/part_library.h"
#include "server/session.h"

namespace {

constexpr char kOkBody[] = R"({"ok":true})";

struct Route {
  std::string_view path;
  Reply (*handler)(std::string_view body);
};

Reply deliver_reply(std::string_view body) {
  FootprintToDeliver footprint = session_slot().with([](const std::optional<LiveSession>& session) {
    return session ? FootprintToDeliver{session->footprintName, session->kicadMod} : FootprintToDeliver{};
  });
  return json_reply(deliver_footprint(body, footprint));
}

// The shutdown itself happens in the request loop once this reply is sent.
Reply shutdown_reply(std::string_view) { return json_reply(std::string(kOkBody)); }

constexpr auto kGetRoutes = std::to_array<Route>({
    {"/", [](std::string_view) { return html_reply(index_page()); }},
    {"/index.html", [](std::string_view) { return html_reply(index_page()); }},
    {"/favicon.svg", [](std::string_view) { return Reply{200, kSvgType, kFaviconSvg}; }},
    {"/embed", [](std::string_view) { return embed_reply(); }},
    {"/state", [](std::string_view) { return state_reply(); }},
    {"/api/chips", [](std::string_view) { return chips_reply(); }},
    {"/api/projects", [](std::string_view) { return projects_reply(); }},
    {"/api/chip3d", [](std::string_view) { return chip3d_reply(); }},
    {"/eval/pending", [](std::string_view) { return take_pending_eval(); }},
    {"/console", [](std::string_view) { return read_console(); }},
});

constexpr auto kPostRoutes = std::to_array<Route>({
    {"/load", load_session},
    {"/load-chip", load_chip_reply},
    {"/eval", queue_eval},
    {"/console", log_console},
    {"/deliver", deliver_reply},
    {"/text", move_texts},
    {"/save", [](std::string_view) { return save_session(); }},
    {"/shutdown", shutdown_reply},
});

template <size_t N>
const Route* find_route(const std::array<Route, N>& routes, std::string_view path) {
  for (const Route& route : routes) {
    if (route.path == path) return &route;
  }
  return nullptr;
}

Reply eval_result_route(std::string_view method, std::string_view path, std::string_view body) {
  constexpr std::string_view kPrefix = "/eval/";
  constexpr std::string_view kResultSuffix = "/result";
  if (!path.starts_with(kPrefix)) return not_found_reply();
  std::string_view rest = path.substr(kPrefix.size());
  if (method == "POST" && rest.ends_with(kResultSuffix)) {
    return store_eval_result(rest.substr(0, rest.size() - kResultSuffix.size()), body);
  }
  return read_eval_result(rest);
}

void replace_all(std::string& text, std::string_view from, std::string_view to) {
  for (size_t at = text.find(from); at != std::string::npos; at = text.find(from, at + to.size())) {
    text.replace(at, from.size(), to);
  }
}

}  // namespace

Reply route_request(std::string_view method, std::string_view path, std::string_view body) {
  const Route* route = nullptr;
  if (method == "GET") route = find_route(kGetRoutes, path);
  if (method == "POST") route = find_route(kPostRoutes, path);
  if (route) return route->handler(body);
  return eval_result_route(method, path, body);
}

std::string splice_viewer_core(std::string_view page, std::string_view css, std::string_view js) {
  std::string text(page);
  replace_all(text, "/*__AV_CSS__*/", css);
  replace_all(text, "/*__AV_JS__*/", js);
  return text;
}

std::string index_page() {
  return splice_viewer_core(assets::live_app_html, assets::viewer_core_css, assets::viewer_core_js);
}
