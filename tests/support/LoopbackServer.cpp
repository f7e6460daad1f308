#include "support/LoopbackServer.h"

#ifdef _WIN32
#include <winsock2.h>
#include <ws2tcpip.h>
#else
#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <sys/select.h>
#include <sys/socket.h>
#include <unistd.h>
#endif

#include <utility>

#include "platform/Loop.h"

namespace ravo::test {

namespace {

// The few calls that differ between Winsock and BSD sockets.
#ifdef _WIN32
using NativeSocket = SOCKET;
constexpr int kSendFlags = 0;

struct WinsockUser {
  WinsockUser() {
    WSADATA data;
    WSAStartup(MAKEWORD(2, 2), &data);
  }
  ~WinsockUser() { WSACleanup(); }
};

void CloseSocket(NativeSocket s) { closesocket(s); }
void ShutdownSend(NativeSocket s) { shutdown(s, SD_SEND); }
void SetTimeouts(NativeSocket s, int receiveMs, int sendMs) {
  DWORD receive = static_cast<DWORD>(receiveMs), send = static_cast<DWORD>(sendMs);
  setsockopt(s, SOL_SOCKET, SO_RCVTIMEO, reinterpret_cast<const char*>(&receive), sizeof receive);
  setsockopt(s, SOL_SOCKET, SO_SNDTIMEO, reinterpret_cast<const char*>(&send), sizeof send);
}
bool SetNonBlocking(NativeSocket s) {
  u_long on = 1;
  return ioctlsocket(s, FIONBIO, &on) == 0;
}
#else
using NativeSocket = int;
constexpr int kSendFlags = MSG_NOSIGNAL;

struct WinsockUser {};

void CloseSocket(NativeSocket s) { ::close(s); }
void ShutdownSend(NativeSocket s) { shutdown(s, SHUT_WR); }
void SetTimeouts(NativeSocket s, int receiveMs, int sendMs) {
  timeval receive{receiveMs / 1000, (receiveMs % 1000) * 1000};
  timeval send{sendMs / 1000, (sendMs % 1000) * 1000};
  setsockopt(s, SOL_SOCKET, SO_RCVTIMEO, &receive, sizeof receive);
  setsockopt(s, SOL_SOCKET, SO_SNDTIMEO, &send, sizeof send);
}
bool SetNonBlocking(NativeSocket s) { return fcntl(s, F_SETFL, fcntl(s, F_GETFL) | O_NONBLOCK) == 0; }
#endif

constexpr std::intptr_t kNoSocket = -1;
constexpr std::size_t kMaxRequestBytes = 64 * 1024;
constexpr auto kRequestBound = 5s;
constexpr int kPollMs = 20;

NativeSocket Native(std::intptr_t s) { return static_cast<NativeSocket>(s); }

sockaddr_in Endpoint(const std::string& address, std::uint16_t port) {
  sockaddr_in endpoint{};
  endpoint.sin_family = AF_INET;
  endpoint.sin_port = htons(port);
  inet_pton(AF_INET, address.c_str(), &endpoint.sin_addr);
  return endpoint;
}

// A listening socket on address:port (0: ephemeral); kNoSocket on failure.
std::intptr_t Listen(const std::string& address, std::uint16_t& port, int backlog) {
  NativeSocket s = socket(AF_INET, SOCK_STREAM, IPPROTO_TCP);
  if (static_cast<std::intptr_t>(s) == kNoSocket) return kNoSocket;
  sockaddr_in endpoint = Endpoint(address, port);
  socklen_t length = sizeof endpoint;
  if (bind(s, reinterpret_cast<sockaddr*>(&endpoint), sizeof endpoint) != 0 || listen(s, backlog) != 0 ||
      getsockname(s, reinterpret_cast<sockaddr*>(&endpoint), &length) != 0) {
    CloseSocket(s);
    return kNoSocket;
  }
  port = ntohs(endpoint.sin_port);
  return static_cast<std::intptr_t>(s);
}

// True when the socket becomes readable (or writable) within the time.
bool WaitReady(NativeSocket s, int milliseconds, bool forWrite = false) {
  fd_set set;
  FD_ZERO(&set);
  FD_SET(s, &set);
  timeval timeout{milliseconds / 1000, (milliseconds % 1000) * 1000};
  return select(static_cast<int>(s) + 1, forWrite ? nullptr : &set, forWrite ? &set : nullptr, nullptr, &timeout) > 0;
}

}  // namespace

// ---- connection ----

LoopbackConnection::~LoopbackConnection() { Close(); }

bool LoopbackConnection::Stopping() const { return server_.stopping_; }

bool LoopbackConnection::Send(std::string_view bytes) {
  while (!bytes.empty()) {
    if (socket_ == kNoSocket || Stopping()) return false;
    const int chunk = static_cast<int>(std::min<std::size_t>(bytes.size(), 64 * 1024));
    const auto sent = send(Native(socket_), bytes.data(), chunk, kSendFlags);
    if (sent <= 0) return false;
    bytes.remove_prefix(static_cast<std::size_t>(sent));
  }
  return true;
}

bool LoopbackConnection::Pause(std::chrono::milliseconds duration) {
  const auto end = std::chrono::steady_clock::now() + duration;
  std::unique_lock lock(server_.mutex_);
  return !server_.changed_.wait_until(lock, end, [this] { return server_.stopping_.load(); });
}

void LoopbackConnection::Reset() {
  if (socket_ == kNoSocket) return;
  linger hard{};
  hard.l_onoff = 1;
  hard.l_linger = 0;
  setsockopt(Native(socket_), SOL_SOCKET, SO_LINGER, reinterpret_cast<const char*>(&hard), sizeof hard);
  CloseSocket(Native(socket_));
  socket_ = kNoSocket;
}

void LoopbackConnection::Close() {
  if (socket_ == kNoSocket) return;
  ShutdownSend(Native(socket_));
  CloseSocket(Native(socket_));
  socket_ = kNoSocket;
}

// ---- server ----

LoopbackServer::LoopbackServer(Handler handler, std::string address, std::uint16_t port)
    : address_(std::move(address)), port_(port), handler_(std::move(handler)) {
#ifdef _WIN32
  WSADATA data;
  WSAStartup(MAKEWORD(2, 2), &data);  // ended by the destructor
#endif
  listener_ = Listen(address_, port_, 16);
  if (listener_ != kNoSocket) acceptor_ = std::thread([this] { AcceptLoop(); });
}

LoopbackServer::~LoopbackServer() {
  {
    std::lock_guard lock(mutex_);
    stopping_ = true;
  }
  changed_.notify_all();
  if (acceptor_.joinable()) acceptor_.join();
  // The acceptor has ended: nobody adds connections any more.
  for (auto& connection : connections_) connection.join();
  if (listener_ != kNoSocket) CloseSocket(Native(listener_));
#ifdef _WIN32
  WSACleanup();
#endif
}

std::string LoopbackServer::Url(std::string_view pathQuery) const {
  return "http://" + address_ + ":" + std::to_string(port_) + std::string(pathQuery);
}

void LoopbackServer::SetHandler(Handler handler) {
  std::lock_guard lock(mutex_);
  handler_ = std::move(handler);
}

bool LoopbackServer::WaitForRequests(std::size_t count, std::chrono::milliseconds timeout) const {
  std::unique_lock lock(mutex_);
  return changed_.wait_for(lock, timeout, [&] { return requests_.size() >= count; });
}

std::size_t LoopbackServer::RequestCount() const {
  std::lock_guard lock(mutex_);
  return requests_.size();
}

std::vector<std::string> LoopbackServer::Requests() const {
  std::lock_guard lock(mutex_);
  return requests_;
}

std::string LoopbackServer::Request(std::size_t index) const {
  std::lock_guard lock(mutex_);
  return index < requests_.size() ? requests_[index] : std::string();
}

std::string LoopbackServer::PeerAddress(std::size_t index) const {
  std::lock_guard lock(mutex_);
  return index < peers_.size() ? peers_[index] : std::string();
}

void LoopbackServer::AcceptLoop() {
  while (!stopping_) {
    if (!WaitReady(Native(listener_), kPollMs)) continue;
    sockaddr_in peer{};
    socklen_t length = sizeof peer;
    const NativeSocket accepted = accept(Native(listener_), reinterpret_cast<sockaddr*>(&peer), &length);
    if (static_cast<std::intptr_t>(accepted) == kNoSocket) continue;
    char text[INET_ADDRSTRLEN] = {};
    inet_ntop(AF_INET, &peer.sin_addr, text, sizeof text);
    std::lock_guard lock(mutex_);
    connections_.emplace_back([this, accepted, address = std::string(text)] {
      Serve(static_cast<std::intptr_t>(accepted), address);
    });
  }
}

void LoopbackServer::Serve(std::intptr_t socket, const std::string& peer) {
  LoopbackConnection connection(*this, socket);
  // Short receive timeouts, so that the stop flag is seen; sends give up after
  // a while when the client stops reading.
  SetTimeouts(Native(socket), kPollMs, 2000);
  const auto giveUp = std::chrono::steady_clock::now() + kRequestBound;
  std::string& request = connection.request_;
  char buffer[4096];
  while (!stopping_ && std::chrono::steady_clock::now() < giveUp && request.size() < kMaxRequestBytes &&
         request.find("\r\n\r\n") == std::string::npos) {
    const auto received = recv(Native(socket), buffer, sizeof buffer, 0);
    if (received == 0) break;  // the client closed
    if (received > 0) request.append(buffer, static_cast<std::size_t>(received));
  }
  Handler handler;
  {
    std::lock_guard lock(mutex_);
    requests_.push_back(request);
    peers_.push_back(peer);
    handler = handler_;
  }
  changed_.notify_all();
  if (handler && !stopping_) handler(connection);
}

// ---- behaviours ----

std::string HttpAnswer(std::string_view body, int status, bool withLength) {
  std::string answer = "HTTP/1.0 " + std::to_string(status) + (status == 200 ? " OK" : " Status") + "\r\n";
  answer += "Content-Type: text/plain\r\n";
  if (withLength) answer += "Content-Length: " + std::to_string(body.size()) + "\r\n";
  return answer + "\r\n" + std::string(body);
}

LoopbackServer::Handler Reply(std::string bytes) {
  return [bytes = std::move(bytes)](LoopbackConnection& c) { c.Send(bytes); };
}

LoopbackServer::Handler ReplyAfter(std::chrono::milliseconds delay, std::string bytes) {
  return [delay, bytes = std::move(bytes)](LoopbackConnection& c) {
    if (c.Pause(delay)) c.Send(bytes);
  };
}

LoopbackServer::Handler Respond(std::function<std::string(const std::string& request)> answer) {
  return [answer = std::move(answer)](LoopbackConnection& c) { c.Send(answer(c.Request())); };
}

LoopbackServer::Handler StallForever() {
  return [](LoopbackConnection& c) { c.Stall(); };
}

LoopbackServer::Handler CloseWithoutAnswer() {
  return [](LoopbackConnection& c) { c.Close(); };
}

LoopbackServer::Handler ResetAfter(std::string bytes) {
  return [bytes = std::move(bytes)](LoopbackConnection& c) {
    c.Send(bytes);
    c.Pause(50ms);  // let the bytes leave before the reset
    c.Reset();
  };
}

LoopbackServer::Handler HugeBody(std::size_t bytes) {
  return [bytes](LoopbackConnection& c) {
    if (!c.Send("HTTP/1.0 200 OK\r\nContent-Type: application/octet-stream\r\n\r\n")) return;
    const std::string chunk(64 * 1024, 'x');
    for (std::size_t sent = 0; sent < bytes; sent += chunk.size()) {
      if (!c.Send(std::string_view(chunk).substr(0, std::min(chunk.size(), bytes - sent)))) return;
    }
  };
}

std::uint16_t UnusedPort(const std::string& address) {
  [[maybe_unused]] WinsockUser winsock;
  std::uint16_t port = 0;
  const std::intptr_t s = Listen(address, port, 1);
  if (s != kNoSocket) CloseSocket(Native(s));
  return port;
}

FullBacklogListener::FullBacklogListener(const std::string& address) {
#ifdef _WIN32
  WSADATA data;
  WSAStartup(MAKEWORD(2, 2), &data);
#endif
  listener_ = Listen(address, port_, 0);
  if (listener_ == kNoSocket) return;
  // Fill the queue, then check that one more connection indeed stays pending.
  const sockaddr_in endpoint = Endpoint(address, port_);
  for (int i = 0; i < 4; ++i) {
    const NativeSocket s = socket(AF_INET, SOCK_STREAM, IPPROTO_TCP);
    if (static_cast<std::intptr_t>(s) == kNoSocket) return;
    fillers_.push_back(static_cast<std::intptr_t>(s));
    SetNonBlocking(s);
    connect(s, reinterpret_cast<const sockaddr*>(&endpoint), sizeof endpoint);
    const bool connected = WaitReady(s, 100, true);
    if (i >= 2) {
      holds_ = !connected;
      if (holds_) return;
    }
  }
}

FullBacklogListener::~FullBacklogListener() {
  for (auto s : fillers_) CloseSocket(Native(s));
  if (listener_ != kNoSocket) CloseSocket(Native(listener_));
#ifdef _WIN32
  WSACleanup();
#endif
}

// ---- loop helpers ----

bool PumpUntil(const std::function<bool()>& done, std::chrono::milliseconds timeout) {
  const auto end = std::chrono::steady_clock::now() + timeout;
  while (!done()) {
    if (std::chrono::steady_clock::now() >= end) return false;
    Loop::ProcessMessages();
    if (done()) return true;
    Loop::Sleep(1);
  }
  return true;
}

void PumpFor(std::chrono::milliseconds duration) {
  const auto end = std::chrono::steady_clock::now() + duration;
  while (std::chrono::steady_clock::now() < end) {
    Loop::ProcessMessages();
    Loop::Sleep(1);
  }
}

}  // namespace ravo::test
