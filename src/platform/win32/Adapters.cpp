#include <winsock2.h>
#include <ws2tcpip.h>
#include <windows.h>
#include <iphlpapi.h>

#include <cstring>
#include <vector>

#include "platform/Adapters.h"
#include "platform/win32/Wide.h"

namespace ravo {

namespace {

using GetAdaptersInfoFunction = DWORD(WINAPI*)(PIP_ADAPTER_INFO, PULONG);

GetAdaptersInfoFunction Function(void* function) {
  return reinterpret_cast<GetAdaptersInfoFunction>(function);
}

// A zero-filled buffer of at least `size` bytes, aligned for the records the
// query writes into it.
std::vector<IP_ADAPTER_INFO> ZeroedBuffer(ULONG size) {
  return std::vector<IP_ADAPTER_INFO>((size + sizeof(IP_ADAPTER_INFO) - 1) / sizeof(IP_ADAPTER_INFO));
}

ULONG ByteSize(const std::vector<IP_ADAPTER_INFO>& buffer) {
  return static_cast<ULONG>(buffer.size() * sizeof(IP_ADAPTER_INFO));
}

// A fixed text field of a record, up to its terminating zero (or its end).
std::string Field(const char* field, std::size_t size) { return std::string(field, strnlen(field, size)); }

// The system writes descriptions in its ANSI code page; the program's texts
// are code page 950 whatever that page is.
std::string AnsiToCp950(const std::string& text) {
  bool ascii = true;
  for (unsigned char c : text) ascii = ascii && c < 0x80;
  if (ascii || text.empty()) return text;
  const int size = MultiByteToWideChar(CP_ACP, 0, text.data(), static_cast<int>(text.size()), nullptr, 0);
  if (size <= 0) return text;
  std::wstring wide(static_cast<std::size_t>(size), L'\0');
  MultiByteToWideChar(CP_ACP, 0, text.data(), static_cast<int>(text.size()), wide.data(), size);
  return WideToCp950(wide);
}

}  // namespace

// The library is loaded at run time so that a system without it (or with a
// query that does not work) falls back to the socket layer's list.  The probe
// asks for the size first, then fills a zeroed buffer: a query that answers
// "no data" or "not supported" is of no use.
AdapterQuery::AdapterQuery() {
  HMODULE library = LoadLibraryW(L"iphlpapi.dll");
  if (!library) return;
  auto function = reinterpret_cast<void*>(GetProcAddress(library, "GetAdaptersInfo"));
  bool usable = function != nullptr;
  if (usable) {
    ULONG size = 0;
    usable = Function(function)(nullptr, &size) == ERROR_BUFFER_OVERFLOW;
    if (usable) {
      std::vector<IP_ADAPTER_INFO> buffer = ZeroedBuffer(size);
      size = ByteSize(buffer);
      const DWORD result = Function(function)(buffer.data(), &size);
      usable = result != ERROR_NO_DATA && result != ERROR_NOT_SUPPORTED;
    }
  }
  if (!usable) {
    FreeLibrary(library);
    return;
  }
  library_ = library;
  function_ = function;
}

AdapterQuery::~AdapterQuery() {
  if (library_) FreeLibrary(static_cast<HMODULE>(library_));
}

// Asks afresh on every call (size, then the filled buffer): adapters come and
// go.  Every address record of every adapter gives one entry, as reported; an
// adapter without an address reports "0.0.0.0" itself.  A second call that
// fails (the list grew in between) gives an empty list rather than a walk
// through an unfilled buffer.
std::vector<AdapterAddress> AdapterQuery::Query() const {
  std::vector<AdapterAddress> result;
  if (!function_) return result;
  ULONG size = 0;
  if (Function(function_)(nullptr, &size) != ERROR_BUFFER_OVERFLOW || size == 0) return result;
  std::vector<IP_ADAPTER_INFO> buffer = ZeroedBuffer(size);
  size = ByteSize(buffer);
  if (Function(function_)(buffer.data(), &size) != NO_ERROR) return result;
  for (const IP_ADAPTER_INFO* adapter = buffer.data(); adapter; adapter = adapter->Next) {
    const std::string description = AnsiToCp950(Field(adapter->Description, sizeof adapter->Description));
    for (const IP_ADDR_STRING* address = &adapter->IpAddressList; address; address = address->Next) {
      result.push_back({Field(address->IpAddress.String, sizeof address->IpAddress.String), description});
    }
  }
  return result;
}

// The addresses the computer's own host name resolves to.
std::vector<std::string> SocketLayerAddresses() {
  std::vector<std::string> result;
  WSADATA data{};
  if (WSAStartup(MAKEWORD(2, 2), &data) != 0) return result;
  char name[256] = {};
  if (gethostname(name, sizeof name - 1) == 0) {
    addrinfo hints{};
    hints.ai_family = AF_INET;
    hints.ai_socktype = SOCK_STREAM;  // one record per address, not one per socket type
    addrinfo* list = nullptr;
    if (getaddrinfo(name, nullptr, &hints, &list) == 0) {
      for (const addrinfo* entry = list; entry; entry = entry->ai_next) {
        if (entry->ai_family != AF_INET || !entry->ai_addr) continue;
        const auto* address = reinterpret_cast<const sockaddr_in*>(entry->ai_addr);
        char text[INET_ADDRSTRLEN] = {};
        if (inet_ntop(AF_INET, &address->sin_addr, text, sizeof text)) result.push_back(text);
      }
      freeaddrinfo(list);
    }
  }
  WSACleanup();
  return result;
}

}  // namespace ravo
