// The Linux socket under the HTTP client: a non-blocking socket watched by the
// poll() loop.  POLLOUT is watched while connecting and after a send found the
// buffer full; readiness, the end of the stream and errors all surface through
// Readable, where recv() tells which.
#include <arpa/inet.h>
#include <netdb.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>
#include <utility>

#include "platform/SocketIo.h"
#include "platform/posix/PollLoop.h"

namespace ravo::socketio {

int TimedOutError() { return ETIMEDOUT; }

int LookupIpv4(const std::string& host, std::uint32_t& address) {
  addrinfo hints{};
  hints.ai_family = AF_INET;
  hints.ai_socktype = SOCK_STREAM;
  addrinfo* result = nullptr;
  const int status = getaddrinfo(host.c_str(), nullptr, &hints, &result);
  if (status != 0 || !result) {
    if (result) freeaddrinfo(result);
    // The resolver's codes are not errno values: report an unknown name as an
    // unreachable host, a failing system call as its errno.
    return status == EAI_SYSTEM && errno != 0 ? errno : EHOSTUNREACH;
  }
  address = ntohl(reinterpret_cast<const sockaddr_in*>(result->ai_addr)->sin_addr.s_addr);
  freeaddrinfo(result);
  return 0;
}

struct Socket::Impl {
  explicit Impl(SocketHandler h) : handler(std::move(h)) {}

  void Watch(short events) {
    if (watch == 0) {
      watch = pollloop::AddWatch(fd, events, [this](short revents) { OnReady(revents); });
    } else {
      pollloop::SetWatchEvents(watch, events);
    }
  }

  void OnReady(short revents) {
    // A copy: the handler may close this socket.
    SocketHandler notify = handler;
    if (connecting) {
      int error = 0;
      socklen_t length = sizeof error;
      if (getsockopt(fd, SOL_SOCKET, SO_ERROR, &error, &length) != 0) error = errno;
      connecting = false;
      Watch(POLLIN);
      notify(SocketEvent::Connected, error);
      return;
    }
    if ((revents & POLLOUT) && fd >= 0) {
      Watch(POLLIN);
      notify(SocketEvent::Writable, 0);
    }
    if ((revents & (POLLIN | POLLHUP | POLLERR | POLLNVAL)) && fd >= 0) notify(SocketEvent::Readable, 0);
  }

  void Close() {
    if (watch != 0) pollloop::RemoveWatch(watch);
    watch = 0;
    if (fd >= 0) ::close(fd);
    fd = -1;
    connecting = false;
  }

  SocketHandler handler;
  int fd = -1;
  pollloop::EntryId watch = 0;
  bool connecting = false;
};

Socket::Socket(SocketHandler handler) : impl_(std::make_unique<Impl>(std::move(handler))) {}

Socket::~Socket() { impl_->Close(); }

int Socket::Connect(std::uint32_t localAddress, std::uint32_t address, std::uint16_t port) {
  impl_->Close();
  const int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0);
  if (fd < 0) return errno;
  impl_->fd = fd;
  if (localAddress != 0) {
    sockaddr_in local{};
    local.sin_family = AF_INET;
    local.sin_addr.s_addr = htonl(localAddress);
    if (::bind(fd, reinterpret_cast<const sockaddr*>(&local), sizeof local) != 0) {
      const int error = errno;
      impl_->Close();
      return error;
    }
  }
  sockaddr_in remote{};
  remote.sin_family = AF_INET;
  remote.sin_addr.s_addr = htonl(address);
  remote.sin_port = htons(port);
  // An interrupted connect goes on in the background like one in progress.
  if (::connect(fd, reinterpret_cast<const sockaddr*>(&remote), sizeof remote) != 0 && errno != EINPROGRESS &&
      errno != EINTR) {
    const int error = errno;
    impl_->Close();
    return error;
  }
  // Also an immediate success is reported from the loop, when POLLOUT shows.
  impl_->connecting = true;
  impl_->Watch(POLLOUT);
  return 0;
}

long Socket::Send(const char* data, std::size_t size, int& error) {
  error = 0;
  if (impl_->fd < 0) {
    error = ENOTCONN;
    return -1;
  }
  const ssize_t sent = ::send(impl_->fd, data, size, MSG_NOSIGNAL);
  if (sent >= 0) return static_cast<long>(sent);
  if (errno == EAGAIN || errno == EWOULDBLOCK || errno == EINTR) {
    impl_->Watch(POLLIN | POLLOUT);
    return 0;
  }
  error = errno;
  return -1;
}

long Socket::Receive(char* buffer, std::size_t size, int& error) {
  error = 0;
  if (impl_->fd < 0) {
    error = ENOTCONN;
    return -1;
  }
  const ssize_t received = ::recv(impl_->fd, buffer, size, 0);
  if (received >= 0) return static_cast<long>(received);
  if (errno != EAGAIN && errno != EWOULDBLOCK && errno != EINTR) error = errno;  // else: poll tells again
  return -1;
}

void Socket::Close() { impl_->Close(); }

}  // namespace ravo::socketio
