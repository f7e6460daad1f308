// The HTTP/1.0 client: URL and request, the answer's header and body, the
// deadlines and the body cap.  The same protocol code runs on both platforms
// over the socket interface of SocketIo.h.
//
// A request goes Ready -> (Resolving ->) Connecting -> Sending -> Receiving ->
// Finishing -> Ready.  Every way out of a request passes Finish(), which closes
// the socket and posts the completion; the client is ready again when the
// posted completion runs, just before its handler.  Posted tasks and the
// resolver thread hold only a weak token and the request's number, so nothing
// reaches a destroyed client or an earlier request.
#include "platform/HttpClient.h"

#include <algorithm>
#include <cstdint>
#include <string_view>
#include <system_error>
#include <thread>
#include <utility>

#include "platform/Loop.h"
#include "platform/SocketIo.h"
#include "platform/Timer.h"

namespace ravo {

namespace {

using Clock = std::chrono::steady_clock;

// A header longer than this is not an HTTP answer we want: memory stays bounded.
constexpr std::size_t kMaxHeaderBytes = 64 * 1024;
constexpr std::size_t kReadChunk = 16 * 1024;
// Reads per readiness event, so that one fast sender does not starve the loop.
constexpr int kReadsPerEvent = 16;

char Lower(char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c; }

bool StartsWithNoCase(std::string_view text, std::string_view prefix) {
  if (text.size() < prefix.size()) return false;
  for (std::size_t i = 0; i < prefix.size(); ++i) {
    if (Lower(text[i]) != Lower(prefix[i])) return false;
  }
  return true;
}

bool EqualsNoCase(std::string_view a, std::string_view b) {
  return a.size() == b.size() && StartsWithNoCase(a, b);
}

std::string_view Trim(std::string_view text) {
  while (!text.empty() && (text.front() == ' ' || text.front() == '\t')) text.remove_prefix(1);
  while (!text.empty() && (text.back() == ' ' || text.back() == '\t' || text.back() == '\r')) text.remove_suffix(1);
  return text;
}

bool ParseNumber(std::string_view text, std::uint64_t limit, std::uint64_t& value) {
  if (text.empty() || text.size() > 19) return false;
  value = 0;
  for (char c : text) {
    if (c < '0' || c > '9') return false;
    value = value * 10 + static_cast<std::uint64_t>(c - '0');
  }
  return value <= limit;
}

bool ParsePort(std::string_view text, std::uint16_t& port) {
  std::uint64_t value = 0;
  if (!ParseNumber(text, 65535, value) || value == 0) return false;
  port = static_cast<std::uint16_t>(value);
  return true;
}

// Dotted decimal, four parts (host byte order).
bool ParseIpv4(std::string_view text, std::uint32_t& address) {
  address = 0;
  for (int part = 0; part < 4; ++part) {
    const std::size_t dot = part < 3 ? text.find('.') : text.size();
    if (dot == std::string_view::npos) return false;
    std::uint64_t value = 0;
    if (dot > 3 || !ParseNumber(text.substr(0, dot), 255, value)) return false;
    address = (address << 8) | static_cast<std::uint32_t>(value);
    text.remove_prefix(std::min(dot + 1, text.size()));
    if (part < 3 && text.empty()) return false;
  }
  return true;
}

bool ValidHost(std::string_view host) {
  if (host.empty()) return false;
  return std::all_of(host.begin(), host.end(), [](char c) {
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '-' || c == '.' ||
           c == '_';
  });
}

struct Url {
  std::string authority;  // host[:port] as written
  std::string host;
  std::uint16_t port = 80;
  std::string pathQuery;  // "/" at least
};

// http://host[:port][/path][?query]; a fragment is dropped.  Anything else
// (another scheme, user information, blanks or control bytes) is refused.
bool ParseUrl(std::string_view text, Url& url) {
  constexpr std::string_view kScheme = "http://";
  if (!StartsWithNoCase(text, kScheme)) return false;
  text.remove_prefix(kScheme.size());
  const std::size_t end = std::min(text.find_first_of("/?#"), text.size());
  const std::string_view authority = text.substr(0, end);
  std::string_view rest = text.substr(end);
  rest = rest.substr(0, std::min(rest.find('#'), rest.size()));
  const std::size_t colon = authority.rfind(':');
  const std::string_view host = authority.substr(0, std::min(colon, authority.size()));
  if (!ValidHost(host)) return false;
  if (colon != std::string_view::npos && !ParsePort(authority.substr(colon + 1), url.port)) return false;
  for (char c : rest) {
    const auto byte = static_cast<unsigned char>(c);
    if (byte <= 0x20 || byte == 0x7f) return false;
  }
  url.authority = std::string(authority);
  url.host = std::string(host);
  url.pathQuery.clear();
  if (rest.empty() || rest.front() != '/') url.pathQuery = '/';
  url.pathQuery.append(rest);
  return true;
}

// RFC 4648 Base64 for the proxy's basic authorization.
std::string Base64(std::string_view data) {
  static constexpr char kDigits[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
  std::string out;
  out.reserve((data.size() + 2) / 3 * 4);
  for (std::size_t i = 0; i < data.size(); i += 3) {
    const std::size_t n = std::min<std::size_t>(3, data.size() - i);
    std::uint32_t bits = 0;
    for (std::size_t k = 0; k < 3; ++k) {
      bits = (bits << 8) | (k < n ? static_cast<unsigned char>(data[i + k]) : 0u);
    }
    for (std::size_t k = 0; k < 4; ++k) {
      out += k <= n ? kDigits[(bits >> (18 - 6 * k)) & 0x3f] : '=';
    }
  }
  return out;
}

}  // namespace

struct HttpClient::Transfer {
  enum class State { Ready, Resolving, Connecting, Sending, Receiving, Finishing };

  explicit Transfer(HttpClient& owner) : client(owner), token(std::make_shared<Transfer*>(this)) {
    deadline.OnTimer = [this] { CheckDeadline(); };
  }

  bool InFlight() const { return state != State::Ready && state != State::Finishing; }

  void Start() {
    if (state != State::Ready) return;
    ++sequence;
    state = State::Connecting;
    socket.reset();
    header.clear();
    headerDone = false;
    contentLength = -1;
    bodyBytes = 0;
    sent = 0;
    maxBody = client.MaxBodyBytes;
    idleTimeout = client.IdleTimeout;
    connectBy = Clock::now() + client.ConnectTimeout;

    Url url;
    const bool viaProxy = !client.Proxy.empty();
    std::string host;
    if (!ParseUrl(client.URL, url)) return Finish(kHttpErrorBadUrl);
    host = url.host;
    port = url.port;
    if (viaProxy && (!ValidHost(client.Proxy) || !ParsePort(Trim(client.ProxyPort), port))) {
      return Finish(kHttpErrorBadUrl);
    }
    if (viaProxy) host = client.Proxy;
    localAddress = 0;
    if (!client.LocalAddr.empty() && client.LocalAddr != "0.0.0.0" && !ParseIpv4(client.LocalAddr, localAddress)) {
      return Finish(kHttpErrorBadUrl);
    }
    request = BuildRequest(url, viaProxy);
    ArmDeadline();

    std::uint32_t address = 0;
    if (ParseIpv4(host, address)) return Connect(address);
    Resolve(host);
  }

  std::string BuildRequest(const Url& url, bool viaProxy) const {
    // Through a proxy the request line carries the absolute URI.
    std::string text = "GET " + (viaProxy ? "http://" + url.authority + url.pathQuery : url.pathQuery) +
                       " HTTP/1.0\r\nHost: " + url.authority + "\r\n";
    if (!client.Agent.empty()) text += "User-Agent: " + client.Agent + "\r\n";
    if (!client.Accept.empty()) text += "Accept: " + client.Accept + "\r\n";
    if (client.NoCache) text += "Pragma: no-cache\r\n";
    if (viaProxy && !client.ProxyUsername.empty()) {
      text += "Proxy-Authorization: Basic " + Base64(client.ProxyUsername + ":" + client.ProxyPassword) + "\r\n";
    }
    return text + "\r\n";
  }

  // Names are resolved on a short-lived thread that posts the answer back; the
  // connect deadline runs meanwhile, and a late answer finds a newer request
  // number (or no client) and is dropped.
  void Resolve(const std::string& host) {
    state = State::Resolving;
    std::weak_ptr<Transfer*> weak = token;
    const unsigned long number = sequence;
    try {
      std::thread([weak, number, host] {
        std::uint32_t address = 0;
        const int error = socketio::LookupIpv4(host, address);
        Loop::Post([weak, number, error, address] {
          if (auto alive = weak.lock()) (*alive)->Resolved(number, error, address);
        });
      }).detach();
    } catch (const std::system_error& failure) {
      Finish(failure.code().value() != 0 ? failure.code().value() : kHttpErrorBadUrl);
    }
  }

  void Resolved(unsigned long number, int error, std::uint32_t address) {
    if (number != sequence || state != State::Resolving) return;
    if (error != 0) return Finish(error);
    Connect(address);
  }

  void Connect(std::uint32_t address) {
    state = State::Connecting;
    socket = std::make_unique<socketio::Socket>(
        [this](socketio::SocketEvent event, int error) { OnSocket(event, error); });
    const int error = socket->Connect(localAddress, address, port);
    if (error != 0) Finish(error);
  }

  void OnSocket(socketio::SocketEvent event, int error) {
    using socketio::SocketEvent;
    switch (event) {
      case SocketEvent::Connected:
        if (state != State::Connecting) return;
        if (error != 0) return Finish(error);
        state = State::Sending;
        idleSince = Clock::now();
        ArmDeadline();
        SendMore();
        return;
      case SocketEvent::Writable:
        if (state == State::Sending) SendMore();
        return;
      case SocketEvent::Readable:
        Read(false, 0);
        return;
      case SocketEvent::Closed:
        // Whatever arrived before the close is read first; after a reset the
        // end of the stream is the reset's error, not a complete answer.
        Read(true, error);
        if (!InFlight()) return;
        if (error != 0) return Finish(error);
        EndOfStream();
        return;
    }
  }

  void SendMore() {
    while (sent < request.size()) {
      int error = 0;
      const long n = socket->Send(request.data() + sent, request.size() - sent, error);
      if (n < 0) return Finish(error);
      if (n == 0) return;  // Writable follows
      sent += static_cast<std::size_t>(n);
    }
    state = State::Receiving;
  }

  void Read(bool untilEmpty, int closeError) {
    char buffer[kReadChunk];
    for (int reads = 0; untilEmpty || reads < kReadsPerEvent; ++reads) {
      if (state != State::Sending && state != State::Receiving) return;
      int error = 0;
      const long n = socket->Receive(buffer, sizeof buffer, error);
      if (n > 0) {
        OnData(std::string_view(buffer, static_cast<std::size_t>(n)));
      } else if (n == 0) {
        return closeError != 0 ? Finish(closeError) : EndOfStream();
      } else {
        if (error != 0) Finish(error);
        return;
      }
    }
  }

  void OnData(std::string_view data) {
    idleSince = Clock::now();
    if (headerDone) return AppendBody(data);
    header.append(data);
    constexpr std::string_view kStatus = "HTTP/";
    const std::size_t compared = std::min(header.size(), kStatus.size());
    if (header.compare(0, compared, kStatus, 0, compared) != 0) return Finish(kHttpErrorProtocol);
    // The header ends at the first empty line (bare line feeds are tolerated).
    const std::size_t crlf = header.find("\n\r\n");
    const std::size_t lf = header.find("\n\n");
    const std::size_t end = std::min(crlf == std::string::npos ? crlf : crlf + 3, lf == std::string::npos ? lf : lf + 2);
    if (end == std::string::npos) {
      if (header.size() > kMaxHeaderBytes) Finish(kHttpErrorProtocol);
      return;
    }
    std::string body = header.substr(end);
    header.resize(end);
    headerDone = true;
    ParseHeader();
    if (contentLength >= 0 && static_cast<std::uint64_t>(contentLength) > maxBody) {
      return Finish(kHttpErrorBodyTooLarge);
    }
    if (contentLength == 0) return Finish(0);
    if (!body.empty()) AppendBody(body);
  }

  // Only the body's length matters here: the status is the caller's business.
  void ParseHeader() {
    std::string_view rest = header;
    bool statusLine = true;
    while (!rest.empty()) {
      const std::size_t eol = std::min(rest.find('\n'), rest.size());
      const std::string_view line = rest.substr(0, eol);
      rest.remove_prefix(std::min(eol + 1, rest.size()));
      if (statusLine) {
        statusLine = false;
        continue;
      }
      const std::size_t colon = line.find(':');
      if (colon == std::string_view::npos) continue;
      std::uint64_t length = 0;
      if (EqualsNoCase(Trim(line.substr(0, colon)), "Content-Length") &&
          ParseNumber(Trim(line.substr(colon + 1)), 0x7fffffffffffffffULL, length)) {
        contentLength = static_cast<long long>(length);
      }
    }
  }

  void AppendBody(std::string_view data) {
    if (contentLength >= 0) {
      data = data.substr(0, static_cast<std::size_t>(static_cast<std::uint64_t>(contentLength) - bodyBytes));
    }
    if (data.size() > maxBody - bodyBytes) return Finish(kHttpErrorBodyTooLarge);
    if (client.RcvdStream) client.RcvdStream->append(data);
    bodyBytes += data.size();
    if (contentLength >= 0 && bodyBytes == static_cast<std::uint64_t>(contentLength)) Finish(0);
  }

  void EndOfStream() {
    // An answer cut short, in its header or before its announced length, is no
    // complete transfer.
    if (!headerDone || (contentLength >= 0 && bodyBytes < static_cast<std::uint64_t>(contentLength))) {
      return Finish(kHttpErrorNoResponse);
    }
    Finish(0);
  }

  Clock::time_point Due() const {
    return state == State::Resolving || state == State::Connecting ? connectBy : idleSince + idleTimeout;
  }

  // One timer, always set to the time left to the deadline that applies now.
  void ArmDeadline() {
    const auto left = std::chrono::ceil<std::chrono::milliseconds>(Due() - Clock::now()).count();
    deadline.SetInterval(static_cast<unsigned>(std::clamp<long long>(left, 1, 0x7fffffff)));
    deadline.Start();
  }

  void CheckDeadline() {
    if (!InFlight()) return;
    if (Clock::now() >= Due()) return Finish(socketio::TimedOutError());
    ArmDeadline();
  }

  void Finish(int error) {
    if (!InFlight()) return;
    state = State::Finishing;
    if (socket) socket->Close();  // the object stays: this may run inside its handler
    deadline.Stop();
    std::weak_ptr<Transfer*> weak = token;
    const unsigned long number = sequence;
    Loop::Post([weak, number, error] {
      if (auto alive = weak.lock()) (*alive)->Deliver(number, error);
    });
  }

  void Deliver(unsigned long number, int error) {
    if (number != sequence || state != State::Finishing) return;
    state = State::Ready;
    HttpClient& sender = client;
    // A copy: the handler may start the next request or destroy the client.
    DoneHandler handler = sender.OnRequestDone;
    if (handler) handler(sender, HttpRequest::Get, error);
  }

  HttpClient& client;
  std::shared_ptr<Transfer*> token;
  unsigned long sequence = 0;
  State state = State::Ready;
  std::unique_ptr<socketio::Socket> socket;
  Timer deadline;

  std::uint32_t localAddress = 0;
  std::uint16_t port = 80;
  std::string request;
  std::size_t sent = 0;
  std::string header;
  bool headerDone = false;
  long long contentLength = -1;  // -1: to the end of the stream
  std::uint64_t bodyBytes = 0;
  std::uint64_t maxBody = 0;
  Clock::time_point connectBy;
  Clock::time_point idleSince;
  std::chrono::milliseconds idleTimeout{0};
};

HttpClient::HttpClient() : transfer_(std::make_unique<Transfer>(*this)) {}

HttpClient::~HttpClient() = default;

bool HttpClient::Ready() const { return transfer_->state == Transfer::State::Ready; }

void HttpClient::GetASync() { transfer_->Start(); }

void HttpClient::Abort() {
  if (transfer_->InFlight()) transfer_->Finish(kHttpErrorAborted);
}

}  // namespace ravo
