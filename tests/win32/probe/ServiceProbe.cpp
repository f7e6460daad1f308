// A small service for the service host test: it runs RunService with a module
// that writes, one line per handler, which handler ran and whether it ran on
// the main thread.
//   ravo_service_probe <output file> [end]
// With "end" the program ends its own loop shortly after the start, from a
// timer of the loop, instead of waiting for the stop control.
#include <windows.h>

#include <filesystem>
#include <fstream>
#include <string>

#include "platform/Loop.h"
#include "platform/ServiceHost.h"
#include "platform/Timer.h"

namespace {

class ProbeModule : public ravo::ServiceModule {
 public:
  ProbeModule(std::filesystem::path output, bool endByItself)
      : output_(std::move(output)), endByItself_(endByItself), mainThread_(GetCurrentThreadId()) {
    endTimer_.OnTimer = [this] {
      endTimer_.Stop();
      Record("OnTimer");
      ravo::Loop::Terminate();
    };
  }

  void ServiceCreate() override { Record("ServiceCreate"); }
  void ServiceStart() override {
    Record("ServiceStart");
    if (endByItself_) endTimer_.Start();
  }
  void ServiceStop() override { Record("ServiceStop"); }
  void ServiceDestroy() override { Record("ServiceDestroy"); }

  void Record(const std::string& handler) {
    Write(handler + (GetCurrentThreadId() == mainThread_ ? " main" : " other"));
  }
  void Write(const std::string& line) {
    std::ofstream out(output_, std::ios::app | std::ios::binary);
    out << line << "\n";
  }

 private:
  std::filesystem::path output_;
  bool endByItself_;
  DWORD mainThread_;
  ravo::Timer endTimer_{300};
};

}  // namespace

int wmain(int argc, wchar_t** argv) {
  if (argc < 2) return 1;
  ProbeModule module(argv[1], argc > 2 && std::wstring(argv[2]) == L"end");
  const bool ran = ravo::RunService("RavoProbeService", module);
  module.Write(ran ? "RunService true" : "RunService false");
  return ran ? 0 : 2;
}
