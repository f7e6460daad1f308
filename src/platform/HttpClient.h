// The event-driven HTTP/1.0 client: one request at a time, completion delivered
// through the message loop with the transfer's error code (0: complete).  The
// HTTP status is not interpreted.  Every wait has a deadline.
#pragma once

#include <chrono>
#include <cstddef>
#include <functional>
#include <memory>
#include <string>

namespace ravo {

enum class HttpRequest { None, Get };

// Error codes of the client's own (the socket layer's codes are passed as they
// are).  Never 666 or 667: those are the program's.
inline constexpr int kHttpErrorNoResponse = 2;    // closed before a complete header or body
inline constexpr int kHttpErrorAborted = 3;       // Abort() while in flight
inline constexpr int kHttpErrorBodyTooLarge = 4;  // body beyond MaxBodyBytes
inline constexpr int kHttpErrorBadUrl = 5;        // the request could not be started
inline constexpr int kHttpErrorProtocol = 6;      // the answer is not HTTP

class HttpClient {
 public:
  using DoneHandler = std::function<void(HttpClient& sender, HttpRequest kind, int error)>;

  HttpClient();
  ~HttpClient();  // aborts silently: no completion is delivered after destruction
  HttpClient(const HttpClient&) = delete;
  HttpClient& operator=(const HttpClient&) = delete;

  // Request settings.
  std::string URL;                         // http://host[:port]/path?query
  std::string LocalAddr = "0.0.0.0";       // local address to bind; "0.0.0.0": any
  std::string Proxy;                       // empty: direct connection
  std::string ProxyPort = "80";
  std::string ProxyUsername;               // basic proxy authorization when set with Proxy
  std::string ProxyPassword;
  std::string Agent;                       // User-Agent
  std::string Accept = "image/gif, image/x-xbitmap, image/jpeg, image/pjpeg, */*";
  bool NoCache = false;                    // "Pragma: no-cache"

  // The receive stream: attached by the caller before a request, the body is
  // appended to it; the completion handler detaches and frees it.
  std::unique_ptr<std::string> RcvdStream;

  // Deadlines and the body cap (tests shorten them).
  std::chrono::milliseconds ConnectTimeout{20000};  // connection established
  std::chrono::milliseconds IdleTimeout{60000};     // no byte received
  std::size_t MaxBodyBytes = 4 * 1024 * 1024;

  DoneHandler OnRequestDone;

  // True while no request is in flight (the component's ready state).
  bool Ready() const;
  // The program treats a client as busy while it is not ready or holds a stream.
  bool Busy() const { return !Ready() || RcvdStream != nullptr; }

  // Starts an asynchronous GET of URL and returns at once.  The completion comes
  // through the loop, never from inside this call, also when the request cannot
  // be started.
  void GetASync();
  // Ends a request in flight; its completion follows through the loop with
  // kHttpErrorAborted.  Does nothing when ready.
  void Abort();

  struct Transfer;  // the request in flight (protocol and socket state)

 private:
  std::unique_ptr<Transfer> transfer_;
  friend struct Transfer;
};

}  // namespace ravo
