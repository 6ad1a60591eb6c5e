#include "server/http_client.h"

#include <exception>
#include <optional>
#include <string>

#include <boost/asio.hpp>
#include <boost/beast/core.hpp>
#include <boost/beast/http.hpp>

namespace {

namespace beast = boost::beast;
namespace http = beast::http;
namespace net = boost::asio;
using tcp = net::ip::tcp;

// Replies above this are refused rather than buffered; the largest real one
// (a state document with a big footprint's SVG) is a few megabytes.
constexpr uint64_t kMaxReplyBytes = uint64_t{256} << 20;

// Runs the exchange as asynchronous steps on a private io_context, because
// only asynchronous operations honour the stream's deadline.
class Exchange {
 public:
  explicit Exchange(const HttpRequest& request) : request_(request), stream_(io_) {
    parser_.body_limit(kMaxReplyBytes);
    message_.method_string(request.method);
    message_.target(request.target);
    message_.version(11);
    message_.set(http::field::host, request.host + ":" + std::to_string(request.port));
    message_.set(http::field::connection, "close");
    if (!request.content_type.empty()) message_.set(http::field::content_type, request.content_type);
    message_.body() = request.body;
    message_.prepare_payload();
  }

  Result<HttpResponse> run() {
    tcp::resolver resolver(io_);
    beast::error_code ec;
    auto endpoints = resolver.resolve(request_.host, std::to_string(request_.port), ec);
    if (ec) return Error(ec.message());
    // One deadline for the whole exchange: it is fixed here and every later
    // operation on the stream is measured against it.
    stream_.expires_after(request_.timeout);
    stream_.async_connect(endpoints, [this](beast::error_code ec, const tcp::endpoint&) { on_connect(ec); });
    io_.run();
    if (failure_) return Error(failure_->message());
    return HttpResponse{parser_.get().result_int(), std::move(parser_.get().body())};
  }

 private:
  void on_connect(beast::error_code ec) {
    if (ec) return fail(ec);
    http::async_write(stream_, message_, [this](beast::error_code ec, size_t) { on_write(ec); });
  }

  void on_write(beast::error_code ec) {
    if (ec) return fail(ec);
    http::async_read(stream_, buffer_, parser_, [this](beast::error_code ec, size_t) { on_read(ec); });
  }

  void on_read(beast::error_code ec) {
    if (ec) return fail(ec);
    beast::error_code ignored;
    stream_.socket().shutdown(tcp::socket::shutdown_both, ignored);
  }

  void fail(beast::error_code ec) { failure_ = ec; }

  const HttpRequest& request_;
  net::io_context io_;
  beast::tcp_stream stream_;
  beast::flat_buffer buffer_;
  http::request<http::string_body> message_;
  http::response_parser<http::string_body> parser_;
  std::optional<beast::error_code> failure_;
};

}  // namespace

Result<HttpResponse> send_http_request(const HttpRequest& request) {
  try {
    Exchange exchange(request);
    return exchange.run();
  } catch (const std::exception& e) {
    return Error(e.what());
  }
}
