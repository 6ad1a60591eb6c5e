#include "server/http_server.h"

#include <array>
#include <chrono>
#include <condition_variable>
#include <cstdlib>
#include <deque>
#include <exception>
#include <functional>
#include <future>
#include <iostream>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <thread>
#include <utility>
#include <vector>

#include <boost/asio.hpp>
#include <boost/beast/core.hpp>
#include <boost/beast/http.hpp>

#include "server/eval_bridge.h"
#include "server/port_registration.h"
#include "server/reply.h"
#include "server/request_rules.h"
#include "server/router.h"

namespace {

namespace beast = boost::beast;
namespace http = beast::http;
namespace net = boost::asio;
using tcp = net::ip::tcp;

// A client must send a request's header within this time, and may not fall
// silent for longer while sending a body; an idle keep-alive connection is
// closed after it too. The page polls every 400 ms, so it never notices.
constexpr std::chrono::seconds kReadTimeout{5};
// A client that stops reading its reply is dropped after this.
constexpr std::chrono::seconds kWriteTimeout{30};
// How long a connection closed by the server still swallows what the client sends.
constexpr std::chrono::seconds kLingerTime{2};
// How long shutdown waits for its own reply to leave.
constexpr std::chrono::seconds kShutdownReplyWait{1};
constexpr int kNetworkThreads = 2;

// Called once with the reply; `written` (may be empty) runs after the reply
// has been sent or the send has failed.
using Responder = std::function<void(Reply reply, std::function<void()> written)>;

struct Job {
  std::string method;
  std::string path;
  std::string body;
  Responder respond;
};

// Complete requests waiting for the serving thread, oldest first.
class JobQueue {
 public:
  void push(Job job) {
    {
      std::lock_guard lock(mutex_);
      jobs_.push_back(std::move(job));
    }
    ready_.notify_one();
  }

  Job pop() {
    std::unique_lock lock(mutex_);
    ready_.wait(lock, [&] { return !jobs_.empty(); });
    Job job = std::move(jobs_.front());
    jobs_.pop_front();
    return job;
  }

  // Drops the waiting jobs (and with them their connections).
  void clear() {
    std::lock_guard lock(mutex_);
    jobs_.clear();
  }

 private:
  std::mutex mutex_;
  std::condition_variable ready_;
  std::deque<Job> jobs_;
};

// One client connection. Every member runs on the connection's strand; the
// serving thread reaches it only by posting a reply there.
class Connection : public std::enable_shared_from_this<Connection> {
 public:
  Connection(tcp::socket socket, JobQueue& jobs) : stream_(std::move(socket)), jobs_(jobs) {}

  void start() {
    net::dispatch(stream_.get_executor(), [self = shared_from_this()] { self->read_header(); });
  }

 private:
  void read_header() {
    parser_.emplace();
    parser_->body_limit(kMaxRequestBodyBytes);
    stream_.expires_after(kReadTimeout);
    http::async_read_header(stream_, buffer_, *parser_,
                            [self = shared_from_this()](beast::error_code ec, size_t) { self->on_header(ec); });
  }

  void on_header(beast::error_code ec) {
    if (ec) return on_read_error(ec);
    auto& request = parser_->get();
    method_ = std::string(request.method_string());
    version_ = request.version();
    if (auto length = parser_->content_length(); length && *length > kMaxRequestBodyBytes) {
      return send(body_too_large_reply(), /*close=*/true, {});
    }
    if (beast::iequals(request[http::field::expect], "100-continue")) {
      continue_response_.version(request.version());
      continue_response_.result(http::status::continue_);
      stream_.expires_after(kWriteTimeout);
      return http::async_write(stream_, continue_response_,
                               [self = shared_from_this()](beast::error_code ec, size_t) {
                                 if (ec) return self->close();
                                 self->read_body();
                               });
    }
    read_body();
  }

  void read_body() {
    if (parser_->is_done()) return on_request(/*cut_short=*/false);
    stream_.expires_after(kReadTimeout);
    http::async_read_some(stream_, buffer_, *parser_,
                          [self = shared_from_this()](beast::error_code ec, size_t) {
                            if (ec) return self->on_read_error(ec);
                            self->read_body();
                          });
  }

  void on_read_error(beast::error_code ec) {
    if (ec == http::error::body_limit) return send(body_too_large_reply(), true, {});
    // The client stopped sending in the middle of the body: the part that
    // arrived is the body. Its reply is the last one on this connection.
    if (ec == http::error::partial_message && parser_->is_header_done()) return on_request(/*cut_short=*/true);
    // Bytes that are no HTTP request get a reply; a closed, reset or silent
    // connection (time-out) is just closed.
    if (ec.category() == beast::error_code(http::error::bad_target).category() && ec != http::error::end_of_stream &&
        ec != http::error::partial_message) {
      method_.clear();
      version_ = 11;
      return send(bad_request_reply(), true, {});
    }
    close();
  }

  void on_request(bool cut_short) {
    auto& request = parser_->get();
    close_after_reply_ = cut_short || !request.keep_alive();
    if (auto origin = request.find(http::field::origin); origin != request.end()) {
      if (!is_same_origin(origin->value(), request[http::field::host])) {
        return send(cross_origin_reply(), close_after_reply_, {});
      }
    }
    Job job;
    job.method = method_;
    job.path = std::string(request_path(request.target()));
    job.body = request_body_text(method_, std::move(request.body()));
    job.respond = [self = shared_from_this()](Reply reply, std::function<void()> written) {
      net::post(self->stream_.get_executor(), [self, reply = std::move(reply), written = std::move(written)]() mutable {
        self->send(std::move(reply), self->close_after_reply_, std::move(written));
      });
    };
    jobs_.push(std::move(job));
  }

  void send(Reply reply, bool close_after, std::function<void()> written) {
    response_ = {};
    response_.version(version_);
    response_.result(static_cast<unsigned>(reply.status));
    response_.set(http::field::content_type, reply.content_type);
    response_.keep_alive(!close_after);
    // A reply to HEAD announces the length of the body it does not carry.
    size_t length = reply.body.size();
    if (method_ != "HEAD") response_.body() = std::move(reply.body);
    response_.content_length(length);
    stream_.expires_after(kWriteTimeout);
    http::async_write(stream_, response_,
                      [self = shared_from_this(), close_after, written = std::move(written)](beast::error_code ec,
                                                                                            size_t) {
                        if (written) written();
                        if (ec) return self->close();
                        if (close_after) return self->linger_close();
                        self->read_header();
                      });
  }

  // Closes after a reply that may have left request bytes unread (a refused
  // body). Closing at once would make the kernel reset the connection and
  // the client could lose the reply; so stop sending, then read and discard
  // until the client closes too or kLingerTime has passed.
  void linger_close() {
    beast::error_code ignored;
    stream_.socket().shutdown(tcp::socket::shutdown_send, ignored);
    stream_.expires_after(kLingerTime);
    discard_rest();
  }

  void discard_rest() {
    stream_.async_read_some(net::buffer(discard_),
                            [self = shared_from_this()](beast::error_code ec, size_t) {
                              if (ec) return self->close();
                              self->discard_rest();
                            });
  }

  void close() {
    beast::error_code ignored;
    stream_.socket().shutdown(tcp::socket::shutdown_send, ignored);
    stream_.cancel();
    stream_.close();
  }

  beast::tcp_stream stream_;
  JobQueue& jobs_;
  beast::flat_buffer buffer_;
  std::optional<http::request_parser<http::string_body>> parser_;
  http::response<http::empty_body> continue_response_;
  http::response<http::string_body> response_;
  std::array<char, 16384> discard_;
  std::string method_;
  unsigned version_ = 11;
  bool close_after_reply_ = false;
};

// All IPv4 interfaces, so that a container host can forward the port. The
// test suites narrow this to the loopback address through
// TOVIK_LISTEN_ADDRESS, so that no test server is reachable from elsewhere.
net::ip::address_v4 listen_address() {
  const char* wanted = std::getenv("TOVIK_LISTEN_ADDRESS");
  if (wanted == nullptr || *wanted == '\0') return net::ip::address_v4::any();
  beast::error_code ec;
  net::ip::address_v4 address = net::ip::make_address_v4(wanted, ec);
  return ec ? net::ip::address_v4::any() : address;
}

class Listener {
 public:
  Listener(net::io_context& io, JobQueue& jobs)
      : io_(io), acceptor_(net::make_strand(io)), retry_(acceptor_.get_executor()), jobs_(jobs) {}

  // Opens the listening socket; the error of the first step that failed.
  beast::error_code listen(uint16_t port) {
    beast::error_code ec;
    tcp::endpoint endpoint(listen_address(), port);
    acceptor_.open(endpoint.protocol(), ec);
    if (!ec) acceptor_.set_option(net::socket_base::reuse_address(true), ec);
    if (!ec) acceptor_.bind(endpoint, ec);
    if (!ec) acceptor_.listen(net::socket_base::max_listen_connections, ec);
    return ec;
  }

  uint16_t port() const {
    beast::error_code ec;
    return acceptor_.local_endpoint(ec).port();
  }

  void accept() {
    acceptor_.async_accept(net::make_strand(io_), [this](beast::error_code ec, tcp::socket socket) {
      if (ec == net::error::operation_aborted || !acceptor_.is_open()) return;
      if (!ec) {
        std::make_shared<Connection>(std::move(socket), jobs_)->start();
        return accept();
      }
      // Out of descriptors and the like: try again shortly instead of spinning.
      retry_.expires_after(std::chrono::milliseconds(50));
      retry_.async_wait([this](beast::error_code) { accept(); });
    });
  }

 private:
  net::io_context& io_;
  tcp::acceptor acceptor_;
  net::steady_timer retry_;
  JobQueue& jobs_;
};

Reply route_safely(const Job& job) {
  try {
    return route_request(job.method, job.path, job.body);
  } catch (const std::exception& e) {
    return error_reply(500, e.what());
  }
}

// Runs the request loop until a POST "/shutdown" has been answered.
void serve_requests(JobQueue& jobs) {
  for (;;) {
    Job job = jobs.pop();
    Reply reply = route_safely(job);
    if (job.method != "POST" || job.path != "/shutdown") {
      job.respond(std::move(reply), {});
      continue;
    }
    auto sent = std::make_shared<std::promise<void>>();
    job.respond(std::move(reply), [sent] { sent->set_value(); });
    sent->get_future().wait_for(kShutdownReplyWait);
    return;
  }
}

void run_network(net::io_context& io) {
  for (;;) {
    try {
      io.run();
      return;
    } catch (const std::exception&) {
      // A handler ran out of memory or the like; its connection is gone, the
      // others carry on.
    }
  }
}

}  // namespace

Status run_live_server(uint16_t port) {
  reset_eval_results_and_console();
  // Declared before everything that holds sockets, so it is destroyed last.
  net::io_context io{kNetworkThreads};
  JobQueue jobs;
  Listener listener(io, jobs);
  if (beast::error_code ec = listener.listen(port)) {
    return Error("bind " + std::to_string(port) + ": " + ec.message());
  }
  uint16_t bound_port = listener.port();
  std::cerr << "[tovik-footprint] serving on http://127.0.0.1:" << bound_port << "\n" << std::flush;
  std::thread(register_port, bound_port).detach();

  listener.accept();
  std::vector<std::thread> network;
  for (int i = 0; i < kNetworkThreads; ++i) network.emplace_back([&io] { run_network(io); });

  serve_requests(jobs);

  unregister_port(bound_port);
  // Stopping the network threads ends every connection; the listening socket
  // closes with `listener`.
  io.stop();
  for (std::thread& t : network) t.join();
  jobs.clear();
  return {};
}
