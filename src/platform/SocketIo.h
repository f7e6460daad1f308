// The small socket interface under the HTTP client: a non-blocking IPv4 TCP
// connection whose events arrive through the message loop.  One implementation
// per platform (poll() watches on Linux, WSAAsyncSelect on Win32).
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>

namespace ravo::socketio {

enum class SocketEvent {
  Connected,  // the connection attempt ended; error 0: established
  Readable,   // data, the end of the stream or an error can be read
  Writable,   // room to send again after Send() returned 0
  Closed,     // the peer closed or reset the connection (error: the reason)
};

using SocketHandler = std::function<void(SocketEvent event, int error)>;

// The platform's code for "timed out" (WSAETIMEDOUT, ETIMEDOUT).
int TimedOutError();

// Resolves a host name to an IPv4 address (host byte order).  Blocks: call it
// from a helper thread.  Returns 0 or the socket layer's error code.
int LookupIpv4(const std::string& host, std::uint32_t& address);

class Socket {
 public:
  // The handler is called from the loop only, never from inside a member call.
  explicit Socket(SocketHandler handler);
  ~Socket();  // closes; no event follows
  Socket(const Socket&) = delete;
  Socket& operator=(const Socket&) = delete;

  // Creates the socket, binds it to localAddress when it is not 0 and starts
  // connecting (addresses in host byte order).  Returns 0 (Connected follows)
  // or the error code (no event follows).
  int Connect(std::uint32_t localAddress, std::uint32_t address, std::uint16_t port);
  // Bytes sent; 0 when the send buffer is full (Writable follows); -1 on error.
  long Send(const char* data, std::size_t size, int& error);
  // Bytes received; 0 at the end of the stream; -1 with error 0 when nothing
  // is pending, with the error code otherwise.
  long Receive(char* buffer, std::size_t size, int& error);
  // Closes the connection now; safe from inside the socket's own handler.
  void Close();

  struct Impl;

 private:
  std::unique_ptr<Impl> impl_;
};

}  // namespace ravo::socketio
