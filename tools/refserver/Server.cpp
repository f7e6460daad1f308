#include "Server.h"

#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <vector>

#include "core/Constants.h"

namespace ravo::refserver {

namespace {

// A client gets this long to send its request head and take its answer (plus
// any delay fault); a stalled connection is kept until the lifetime ends.
constexpr std::chrono::seconds kConnectionBound{30};
constexpr std::size_t kMaxHead = 64 * 1024;
constexpr std::size_t kMaxConnections = 128;
// Long enough for the client to read what came before the reset.
constexpr std::chrono::milliseconds kResetPause{50};
// A reset body announces more than it sends, so the reset falls mid-body.
constexpr std::uint64_t kResetShortfall = 64 * 1024;
constexpr std::string_view kGarbage = "\x01\x02 garbage: this is no HTTP answer\r\n\r\n";

void SetNonBlocking(int fd) { fcntl(fd, F_SETFL, fcntl(fd, F_GETFL, 0) | O_NONBLOCK); }

std::string PeerAddress(int fd) {
  sockaddr_in address{};
  socklen_t length = sizeof address;
  char text[INET_ADDRSTRLEN] = {};
  if (getpeername(fd, reinterpret_cast<sockaddr*>(&address), &length) != 0 ||
      !inet_ntop(AF_INET, &address.sin_addr, text, sizeof text))
    return {};
  return text;
}

}  // namespace

Server::Server(const Options& options, RefService& service)
    : options_(options), service_(service), fault_(options.fault) {
  service_.SetAddressAnswer(options.addressAnswer);
}

Server::~Server() {
  for (auto& connection : connections_) ::close(connection.fd);
  if (listener_ >= 0) ::close(listener_);
}

bool Server::Open(std::string& error) {
  sockaddr_in address{};
  address.sin_family = AF_INET;
  address.sin_port = htons(options_.port);
  if (inet_pton(AF_INET, options_.listenAddress.c_str(), &address.sin_addr) != 1 ||
      (ntohl(address.sin_addr.s_addr) >> 24) != 127) {
    error = "not a loopback address: " + options_.listenAddress;
    return false;
  }
  listener_ = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
  if (listener_ < 0) {
    error = std::string("socket: ") + std::strerror(errno);
    return false;
  }
  const int on = 1;
  setsockopt(listener_, SOL_SOCKET, SO_REUSEADDR, &on, sizeof on);
  if (bind(listener_, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0 ||
      listen(listener_, 64) != 0) {
    error = "cannot listen on " + options_.listenAddress + ":" + std::to_string(options_.port) + ": " +
            std::strerror(errno);
    return false;
  }
  SetNonBlocking(listener_);
  socklen_t length = sizeof address;
  getsockname(listener_, reinterpret_cast<sockaddr*>(&address), &length);
  port_ = ntohs(address.sin_port);
  if (!options_.recordPath.empty()) {
    record_.open(options_.recordPath, std::ios::binary | std::ios::trunc);
    if (!record_) {
      error = "cannot write " + options_.recordPath;
      return false;
    }
  }
  return true;
}

void Server::Run(int stopFd) {
  end_ = Clock::now() + std::chrono::seconds(options_.lifetimeSeconds);
  std::vector<pollfd> fds;
  while (true) {
    const auto now = Clock::now();
    if (now >= end_) return;

    // Timers first: delays that ran out, resets whose pause is over, bounds.
    auto next = end_;
    for (auto it = connections_.begin(); it != connections_.end();) {
      Connection& connection = *it;
      if (now >= connection.deadline) {
        Close(connection, false);
      } else if (connection.phase == Phase::Waiting && now >= connection.wakeAt) {
        connection.phase = Phase::Writing;
      } else if (connection.phase == Phase::Resetting && now >= connection.wakeAt) {
        Close(connection, true);
      }
      if (connection.fd < 0) {
        it = connections_.erase(it);
        continue;
      }
      next = std::min(next, connection.deadline);
      if (connection.phase == Phase::Waiting || connection.phase == Phase::Resetting)
        next = std::min(next, connection.wakeAt);
      ++it;
    }

    fds.clear();
    fds.push_back({stopFd, POLLIN, 0});
    fds.push_back({listener_, POLLIN, 0});
    for (const auto& connection : connections_) {
      short events = 0;
      if (connection.phase == Phase::Reading || connection.phase == Phase::Stalled) events = POLLIN;
      if (connection.phase == Phase::Writing) events = POLLOUT;
      fds.push_back({connection.fd, events, 0});
    }
    const long long wait = std::chrono::duration_cast<std::chrono::milliseconds>(next - now).count() + 1;
    const int ready = poll(fds.data(), fds.size(), static_cast<int>(std::clamp<long long>(wait, 0, 1000)));
    if (ready < 0 && errno != EINTR) return;
    if (ready <= 0) continue;
    if (fds[0].revents) return;

    std::size_t index = 2;
    for (auto& connection : connections_) {
      const short revents = fds[index++].revents;
      if (!revents) continue;
      if (connection.phase == Phase::Writing && (revents & (POLLOUT | POLLERR | POLLHUP)))
        WriteTo(connection);
      else if (revents & (POLLIN | POLLERR | POLLHUP))
        ReadFrom(connection);
    }
    connections_.remove_if([](const Connection& connection) { return connection.fd < 0; });
    if (fds[1].revents & POLLIN) Accept();
  }
}

void Server::Accept() {
  while (true) {
    const int fd = accept4(listener_, nullptr, nullptr, SOCK_NONBLOCK | SOCK_CLOEXEC);
    if (fd < 0) return;
    if (connections_.size() >= kMaxConnections) {
      ::close(fd);
      continue;
    }
    Connection connection;
    connection.fd = fd;
    connection.peer = PeerAddress(fd);
    connection.deadline = Clock::now() + kConnectionBound;
    connections_.push_back(std::move(connection));
  }
}

void Server::ReadFrom(Connection& connection) {
  char buffer[4096];
  const ssize_t got = recv(connection.fd, buffer, sizeof buffer, 0);
  if (got < 0 && (errno == EAGAIN || errno == EWOULDBLOCK || errno == EINTR)) return;
  if (got <= 0) {
    Close(connection, false);
    return;
  }
  // Past the head, whatever else comes is read and forgotten.
  if (connection.phase != Phase::Reading) return;
  connection.in.append(buffer, static_cast<std::size_t>(got));
  const std::size_t headLength = HeadLength(connection.in);
  if (headLength == 0) {
    if (connection.in.size() > kMaxHead) Close(connection, false);
    return;
  }
  RequestHead head;
  if (!ParseRequestHead(std::string_view(connection.in).substr(0, headLength), head)) {
    connection.out = Reply(400, "bad request");
    connection.phase = Phase::Writing;
    return;
  }
  HandleHead(connection, head);
}

void Server::HandleHead(Connection& connection, const RequestHead& head) {
  const std::string path = head.Path();
  const std::string query = head.Query();
  const bool isProtected = path == kUpdatePath || path == kHostListPath;
  const std::string decoded = isProtected ? DecodeProtectedQuery(query) : std::string();
  // A protected path without "request=" shows its query as it came.
  Record(FormatRecord(head, decoded.empty() ? query : decoded));

  connection.phase = Phase::Writing;
  if (path == kControlPath) {
    bool ipChanged = false;
    std::string ip, error;
    if (ApplyControl(query, fault_, ipChanged, ip, error)) {
      if (ipChanged) service_.SetAddressAnswer(ip);
      connection.out = Reply(200, "OK");
    } else {
      connection.out = Reply(400, error);
    }
    return;
  }

  const Fault fault = TakeFault(fault_, path);
  switch (fault.kind) {
    case FaultKind::Close:
      Close(connection, false);
      return;
    case FaultKind::Stall:
      connection.phase = Phase::Stalled;
      connection.deadline = end_;
      return;
    case FaultKind::Garbage:
      connection.out = std::string(kGarbage);
      return;
    case FaultKind::Oversize:
      connection.out = ReplyHead(200, fault.amount);
      connection.fillerLeft = fault.amount;
      return;
    case FaultKind::Reset:
      connection.out = ReplyHead(200, fault.amount + kResetShortfall);
      connection.fillerLeft = fault.amount;
      connection.resetAtEnd = true;
      return;
    case FaultKind::Delay:
    case FaultKind::None:
      break;
  }

  int status = 200;
  std::string body;
  if (head.method != "GET") {
    status = 405;
    body = "GET only";
  } else if (path == kAddressCheckPath) {
    body = service_.AnswerAddress(connection.peer);
  } else if (path == kHostListPath) {
    body = service_.AnswerHostList(decoded);
  } else if (path == kUpdatePath) {
    body = service_.AnswerUpdate(decoded, connection.peer);
  } else {
    status = 404;
    body = "not found";
  }
  connection.out = Reply(status, body);
  if (fault.kind == FaultKind::Delay) {
    connection.phase = Phase::Waiting;
    connection.wakeAt = Clock::now() + std::chrono::milliseconds(fault.amount);
    connection.deadline += std::chrono::milliseconds(fault.amount);
  }
}

void Server::WriteTo(Connection& connection) {
  static const std::string kFiller(64 * 1024, 'x');
  while (true) {
    if (connection.sent == connection.out.size()) {
      if (connection.fillerLeft == 0) break;
      const auto piece = std::min<std::uint64_t>(connection.fillerLeft, kFiller.size());
      connection.out.assign(kFiller, 0, static_cast<std::size_t>(piece));
      connection.sent = 0;
      connection.fillerLeft -= piece;
    }
    const ssize_t wrote = send(connection.fd, connection.out.data() + connection.sent,
                               connection.out.size() - connection.sent, MSG_NOSIGNAL);
    if (wrote < 0 && (errno == EAGAIN || errno == EWOULDBLOCK || errno == EINTR)) return;
    if (wrote <= 0) {
      Close(connection, false);
      return;
    }
    connection.sent += static_cast<std::size_t>(wrote);
  }
  if (connection.resetAtEnd) {
    connection.phase = Phase::Resetting;
    connection.wakeAt = Clock::now() + kResetPause;
    return;
  }
  Close(connection, false);
}

void Server::Record(const std::string& entry) {
  if (!record_.is_open()) return;
  record_ << entry;
  record_.flush();
}

void Server::Close(Connection& connection, bool reset) {
  if (connection.fd < 0) return;
  if (reset) {
    // No lingering: the kernel answers with a reset instead of a FIN.
    const linger abort{1, 0};
    setsockopt(connection.fd, SOL_SOCKET, SO_LINGER, &abort, sizeof abort);
  } else {
    // Unread bytes at close would turn the FIN into a reset; take them first.
    shutdown(connection.fd, SHUT_WR);
    char buffer[4096];
    for (int pass = 0; pass < 16 && recv(connection.fd, buffer, sizeof buffer, 0) > 0; ++pass) {
    }
  }
  ::close(connection.fd);
  connection.fd = -1;
}

}  // namespace ravo::refserver
