// Shared test fixtures: a fresh settings key and a scratch folder per test.
#pragma once

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <memory>
#include <sstream>
#include <string>

#include "core/Constants.h"
#include "core/Globals.h"
#include "engine/RavoGlobals.h"
#include "platform/Registry.h"

namespace ravo::test {

// Removes the program's settings key under both roots (natively: empties the
// in-memory registry), so every test starts from a fresh store.
inline void ClearSettings() {
  ResetMemoryRegistry();
  for (auto root : {RegistryRoot::CurrentUser, RegistryRoot::LocalMachine}) {
    Registry registry;
    registry.SetRoot(root);
    registry.DeleteKey(std::string(kKeyPath));
  }
}

// A folder of its own for the test, removed afterwards.
class ScratchFolder {
 public:
  explicit ScratchFolder(const std::string& name) {
    path_ = std::filesystem::temp_directory_path() / ("ravo-test-" + name);
    std::filesystem::remove_all(path_);
    std::filesystem::create_directories(path_);
  }
  ~ScratchFolder() {
    std::error_code ec;
    std::filesystem::remove_all(path_, ec);
  }
  const std::filesystem::path& Path() const { return path_; }
  // The folder as the program names folders: with a closing separator.
  std::string Folder() const { return (path_ / "").string(); }

 private:
  std::filesystem::path path_;
};

inline std::string ReadFile(const std::filesystem::path& path) {
  std::ifstream in(path, std::ios::binary);
  std::stringstream content;
  content << in.rdbuf();
  return content.str();
}

inline void WriteFile(const std::filesystem::path& path, const std::string& content) {
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out << content;
}

class SettingsTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ClearSettings();
    globals = std::make_unique<TGlobals>(RegistryRoot::CurrentUser);
  }
  void TearDown() override {
    globals.reset();
    ClearSettings();
  }
  std::unique_ptr<TGlobals> globals;
};


// A settings object and an engine whose log goes to a scratch folder.
class EngineTest : public SettingsTest {
 protected:
  void SetUp() override {
    SettingsTest::SetUp();
    folder = std::make_unique<ScratchFolder>(::testing::UnitTest::GetInstance()->current_test_info()->name());
    MakeEngine({});
  }
  void TearDown() override {
    engine.reset();
    folder.reset();
    SettingsTest::TearDown();
  }
  void MakeEngine(std::vector<std::string> args, ClockFunction clock = {}) {
    engine.reset();
    EngineSetup setup;
    setup.args = std::move(args);
    setup.logFolder = folder->Folder();
    setup.fallbackLogFolder = folder->Folder();
    setup.clock = std::move(clock);
    engine = std::make_unique<TRavoGlobals>(*globals, std::move(setup));
  }
  std::string LogText() const { return ReadFile(engine->Log().Path()); }

  std::unique_ptr<ScratchFolder> folder;
  std::unique_ptr<TRavoGlobals> engine;
};

}  // namespace ravo::test
