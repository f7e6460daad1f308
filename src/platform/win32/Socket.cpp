// The Win32 socket under the HTTP client: Winsock with WSAAsyncSelect, whose
// notifications come to the loop window under a message number of the
// socket's own.
#include <winsock2.h>
#include <ws2tcpip.h>

#include <mutex>
#include <utility>

#include "platform/SocketIo.h"
#include "platform/win32/LoopWindow.h"

namespace ravo::socketio {

namespace {

std::once_flag winsockStarted;

// Winsock is started once for the process and left running until it ends.
void StartWinsock() {
  std::call_once(winsockStarted, [] {
    WSADATA data;
    WSAStartup(MAKEWORD(2, 2), &data);
  });
}

}  // namespace

int TimedOutError() { return WSAETIMEDOUT; }

int LookupIpv4(const std::string& host, std::uint32_t& address) {
  StartWinsock();
  addrinfo hints{};
  hints.ai_family = AF_INET;
  hints.ai_socktype = SOCK_STREAM;
  addrinfo* result = nullptr;
  const int status = getaddrinfo(host.c_str(), nullptr, &hints, &result);
  if (status != 0 || !result) {
    if (result) freeaddrinfo(result);
    return status != 0 ? status : WSAHOST_NOT_FOUND;
  }
  address = ntohl(reinterpret_cast<const sockaddr_in*>(result->ai_addr)->sin_addr.s_addr);
  freeaddrinfo(result);
  return 0;
}

struct Socket::Impl {
  explicit Impl(SocketHandler h) : handler(std::move(h)) {}

  void OnNotification(WORD event, WORD error) {
    // A copy: the handler may close this socket.
    SocketHandler notify = handler;
    switch (event) {
      case FD_CONNECT: notify(SocketEvent::Connected, error); break;
      case FD_READ: notify(SocketEvent::Readable, error); break;
      case FD_WRITE: notify(SocketEvent::Writable, error); break;
      case FD_CLOSE: notify(SocketEvent::Closed, error); break;
      default: break;
    }
  }

  int Fail() {
    const int error = WSAGetLastError();
    Close();
    return error != 0 ? error : WSAEINVAL;
  }

  void Close() {
    if (message != 0) {
      win32::LoopWindow& window = win32::LoopWindow::Get();
      window.RemoveSocket(message);
      if (socket != INVALID_SOCKET) WSAAsyncSelect(socket, window.Handle(), 0, 0);
      message = 0;
    }
    if (socket != INVALID_SOCKET) closesocket(socket);
    socket = INVALID_SOCKET;
  }

  SocketHandler handler;
  SOCKET socket = INVALID_SOCKET;
  UINT message = 0;
};

Socket::Socket(SocketHandler handler) : impl_(std::make_unique<Impl>(std::move(handler))) {}

Socket::~Socket() { impl_->Close(); }

int Socket::Connect(std::uint32_t localAddress, std::uint32_t address, std::uint16_t port) {
  impl_->Close();
  StartWinsock();
  impl_->socket = ::socket(AF_INET, SOCK_STREAM, IPPROTO_TCP);
  if (impl_->socket == INVALID_SOCKET) return impl_->Fail();
  win32::LoopWindow& window = win32::LoopWindow::Get();
  Impl* impl = impl_.get();
  impl_->message = window.AddSocket(impl_->socket, [impl](WORD event, WORD error) { impl->OnNotification(event, error); });
  // Also makes the socket non-blocking.
  if (WSAAsyncSelect(impl_->socket, window.Handle(), impl_->message, FD_CONNECT | FD_READ | FD_WRITE | FD_CLOSE) != 0) {
    return impl_->Fail();
  }
  if (localAddress != 0) {
    sockaddr_in local{};
    local.sin_family = AF_INET;
    local.sin_addr.s_addr = htonl(localAddress);
    if (bind(impl_->socket, reinterpret_cast<const sockaddr*>(&local), sizeof local) != 0) return impl_->Fail();
  }
  sockaddr_in remote{};
  remote.sin_family = AF_INET;
  remote.sin_addr.s_addr = htonl(address);
  remote.sin_port = htons(port);
  if (connect(impl_->socket, reinterpret_cast<const sockaddr*>(&remote), sizeof remote) != 0) {
    const int error = WSAGetLastError();
    if (error != WSAEWOULDBLOCK) {
      impl_->Close();
      return error;
    }
  }
  return 0;  // FD_CONNECT follows
}

long Socket::Send(const char* data, std::size_t size, int& error) {
  error = 0;
  if (impl_->socket == INVALID_SOCKET) {
    error = WSAENOTCONN;
    return -1;
  }
  const int chunk = size > 0x7fffffff ? 0x7fffffff : static_cast<int>(size);
  const int sent = send(impl_->socket, data, chunk, 0);
  if (sent != SOCKET_ERROR) return sent;
  const int code = WSAGetLastError();
  if (code == WSAEWOULDBLOCK) return 0;  // FD_WRITE follows
  error = code;
  return -1;
}

long Socket::Receive(char* buffer, std::size_t size, int& error) {
  error = 0;
  if (impl_->socket == INVALID_SOCKET) {
    error = WSAENOTCONN;
    return -1;
  }
  const int chunk = size > 0x7fffffff ? 0x7fffffff : static_cast<int>(size);
  const int received = recv(impl_->socket, buffer, chunk, 0);
  if (received != SOCKET_ERROR) return received;
  const int code = WSAGetLastError();
  if (code != WSAEWOULDBLOCK) error = code;
  return -1;
}

void Socket::Close() { impl_->Close(); }

}  // namespace ravo::socketio
