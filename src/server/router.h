// The live server's route table: which handler answers a request.
#pragma once

#include <string>
#include <string_view>

#include "server/reply.h"

// The icon served at "/favicon.svg".
inline constexpr char kFaviconSvg[] =
    "<svg xmlns=\"http://www.w3.org/2000/svg\" viewBox=\"0 0 24 24\" fill=\"none\" stroke=\"#ffffff\" "
    "stroke-width=\"1.8\" stroke-linecap=\"round\" stroke-linejoin=\"round\"><rect x=\"3\" y=\"3\" "
    "width=\"18\" height=\"18\" rx=\"2\"/><rect x=\"6.5\" y=\"9\" width=\"3\" height=\"6\" rx=\"0.6\"/>"
    "<rect x=\"14.5\" y=\"9\" width=\"3\" height=\"6\" rx=\"0.6\"/><path d=\"M6 6.2h1.2\"/></svg>";

// Answers one request. `path` is the request target without its query
// string (not decoded); `body` is the request's text, empty unless POST.
// Exact, case-sensitive paths; GET and POST look in their own columns and
// everything else falls to the "/eval/{id}" rule, then 404.
Reply route_request(std::string_view method, std::string_view path, std::string_view body);

// `page` with every "/*__AV_CSS__*/" replaced by `css`, then every
// "/*__AV_JS__*/" in the result by `js`.
std::string splice_viewer_core(std::string_view page, std::string_view css, std::string_view js);

// The live app page with the viewer core spliced in.
std::string index_page();
