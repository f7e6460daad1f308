#include <gtest/gtest.h>

#include "support/Fixtures.h"

namespace ravo {
namespace {

using test::EngineTest;
using test::SettingsTest;

// Every value with its default and whether the first read creates it.
TEST_F(EngineTest, FreshStoreDefaultsAndWhichReadsCreateTheirValue) {
  auto& registry = globals->Registry;
  const struct {
    const char* value;
    std::function<std::string()> read;
    std::string expected;
    bool created;
  } cases[] = {
      {"AltPort", [&] { return std::to_string(globals->GetAltPort()); }, "0", true},
      {"UseProxy", [&] { return std::to_string(globals->GetUseProxy()); }, "0", true},
      {"ProxyAddress", [&] { return globals->GetProxyAddress(); }, "", true},
      {"ProxyPort", [&] { return globals->GetProxyPort(); }, "8080", true},
      {"ProxyAuth", [&] { return std::to_string(globals->GetProxyAuth()); }, "0", true},
      {"ProxyUsername", [&] { return globals->GetProxyUsername(); }, "", true},
      {"ProxyPassword", [&] { return globals->GetProxyPassword(); }, "", true},
      {"Adapter", [&] { return std::to_string(engine->GetAdapter()); }, "-1", true},
      {"ConAdapter", [&] { return std::to_string(engine->GetConAdapter()); }, "-1", true},
      {"ExternalUpdate", [&] { return engine->GetExternalUpdate(); }, "1800000", true},
      {"UseScheduleList", [&] { return std::to_string(engine->GetUseSchedule()); }, "0", true},
      {"LogSizeLimit", [&] { return std::to_string(engine->GetLogSizeLimit()); }, "100", true},
      {"Username", [&] { return globals->GetUsername(); }, "", false},
      {"Password", [&] { return globals->GetPassword(); }, "", false},
      {"AllowAutodial", [&] { return std::to_string(engine->GetAllowAutodial()); }, "0", false},
      {"AllowSmoothScrolling", [&] { return std::to_string(engine->GetSmoothScrolling()); }, "1", false},
      {"StayOnline", [&] { return std::to_string(engine->GetStayOnline()); }, "0", false},
      {"ScheduleList", [&] { return std::to_string(engine->ReadSchedule() == std::string(200, '\1')); }, "1", false},
      {"RavoTop", [&] { return std::to_string(engine->GetWindowTop()); }, "0", false},
      {"RavoLeft", [&] { return std::to_string(engine->GetWindowLeft()); }, "0", false},
      {"RavoWidth", [&] { return std::to_string(engine->GetWindowWidth()); }, "0", false},
      {"RavoHeight", [&] { return std::to_string(engine->GetWindowHeight()); }, "0", false},
      {"RavoSplitter", [&] { return std::to_string(engine->GetSplitter(123)); }, "123", false},
  };
  for (const auto& c : cases) {
    // The engine's own start reads "LogSizeLimit" only when it trims.
    EXPECT_EQ(c.read(), c.expected) << c.value;
    EXPECT_EQ(registry.ValueExists(c.value), c.created) << c.value;
  }
  EXPECT_EQ(registry.ValueType("ProxyPort"), RegistryType::String);
  EXPECT_EQ(registry.ValueType("AltPort"), RegistryType::Integer);
  EXPECT_EQ(registry.ValueType("LogSizeLimit"), RegistryType::Integer);
}

TEST_F(SettingsTest, SettingTheUserNameEmptiesCheckedOnlyWhenItChanges) {
  auto& registry = globals->Registry;
  globals->SetUsername("alice");
  registry.WriteString("Checked", "alpha|beta|");
  globals->SetUsername("alice");
  EXPECT_EQ(registry.ReadString("Checked"), "alpha|beta|");
  globals->SetUsername("Alice");  // letter case counts
  EXPECT_EQ(registry.ReadString("Checked"), "");
  EXPECT_EQ(globals->GetUsername(), "Alice");
}

TEST_F(SettingsTest, PasswordsAreStoredInBase64) {
  globals->SetPassword("p@ss word");
  EXPECT_EQ(globals->Registry.ReadString("Password"), "cEBzcyB3b3Jk");
  EXPECT_EQ(globals->GetPassword(), "p@ss word");
  globals->SetProxyPassword("");
  EXPECT_EQ(globals->Registry.ReadString("ProxyPassword"), "");
  globals->SetProxyPassword("\xb1\x4b");  // Big5 bytes survive
  EXPECT_EQ(globals->GetProxyPassword(), "\xb1\x4b");
}

TEST_F(SettingsTest, ValueOfAnotherTypeReadsAsAbsentAndIsRepaired) {
  globals->Registry.WriteString("AltPort", "yes");
  EXPECT_FALSE(globals->GetAltPort());
  EXPECT_EQ(globals->Registry.ValueType("AltPort"), RegistryType::Integer);
}

TEST_F(EngineTest, AdapterPositionsBeyondTheListAreWrittenBackAsNone) {
  const int count = static_cast<int>(engine->AdapterList(false).size());
  ASSERT_GT(count, 0);
  auto& registry = globals->Registry;
  const struct {
    int stored;
    int expected;
  } cases[] = {{count, -1}, {count + 3, -1}, {count - 1, count - 1}, {0, 0}, {-5, -1}};
  for (const auto& c : cases) {
    engine->SetAdapter(c.stored);
    engine->SetConAdapter(c.stored);
    EXPECT_EQ(engine->GetAdapter(), c.expected) << c.stored;
    EXPECT_EQ(engine->GetConAdapter(), c.expected) << c.stored;
    const int written = c.stored >= count ? -1 : c.stored;
    EXPECT_EQ(registry.ReadInteger("Adapter"), written);
    EXPECT_EQ(registry.ReadInteger("ConAdapter"), written);
  }
}

TEST_F(EngineTest, ScheduleIsAlwaysTwoHundredBytes) {
  std::string schedule(200, '\1');
  schedule[35] = 0;
  engine->WriteSchedule(schedule);
  EXPECT_EQ(engine->ReadSchedule(), schedule);
  EXPECT_EQ(globals->Registry.DataSize("ScheduleList"), 200);
  globals->Registry.WriteBinary("ScheduleList", std::string(10, '\0'));  // hand-edited, short
  const std::string read = engine->ReadSchedule();
  EXPECT_EQ(read.size(), 200u);
  EXPECT_EQ(read.substr(0, 10), std::string(10, '\0'));
  EXPECT_EQ(read[10], '\1');
}

TEST_F(SettingsTest, UpdateServerValueReplacesTheBuiltInHost) {
  EXPECT_EQ(globals->GetUpdateServer(), std::string(kUpdateServerHost));
  globals->Registry.WriteString("UpdateServer", "127.0.0.9");
  EXPECT_EQ(globals->GetUpdateServer(), "127.0.0.9");
}

TEST(Settings, RootIsTheOneChosenAndTheMainKeyIsCreated) {
  test::ClearSettings();
  for (auto root : {RegistryRoot::CurrentUser, RegistryRoot::LocalMachine}) {
    TGlobals globals(root);
    EXPECT_EQ(globals.Registry.Root(), root);
    EXPECT_EQ(globals.Registry.CurrentPath(), "Software\\Tranmoor\\Ravo");
    globals.SetAltPort(true);
  }
  Registry other;
  other.SetRoot(RegistryRoot::CurrentUser);
  ASSERT_TRUE(other.OpenKey(std::string(kKeyPath), false));
  EXPECT_EQ(other.ReadBool("AltPort"), true);
  test::ClearSettings();
}

}  // namespace
}  // namespace ravo
