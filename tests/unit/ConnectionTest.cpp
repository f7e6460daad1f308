#include <gtest/gtest.h>

#include <algorithm>

#include "support/Fixtures.h"
#include "support/RecordingView.h"

namespace ravo {
namespace {

class ConnectionTest : public test::EngineTest {
 protected:
  void SetUp() override {
    EngineTest::SetUp();
    engine.reset();
    EngineSetup setup;
    setup.logFolder = folder->Folder();
    setup.fallbackLogFolder = folder->Folder();
    setup.startGet = [this](HttpClient& started) {
      ++gets;
      if (onGet) onGet(started);
    };
    engine = std::make_unique<TRavoGlobals>(*globals, std::move(setup));
    client.OnRequestDone = [this](HttpClient&, HttpRequest, int error) { codes.push_back(error); };
    client.URL = engine->ServerUrl("/ip.php");
    ClearInternetSettings();
  }
  void TearDown() override {
    ClearInternetSettings();
    EngineTest::TearDown();
  }
  static void ClearInternetSettings() {
    Registry registry;
    registry.SetRoot(RegistryRoot::CurrentUser);
    if (registry.OpenKey(std::string(kInternetSettingsPath), true)) {
      registry.DeleteValue("EnableAutodial");
      registry.DeleteValue("OldEnableAutodial");
    }
  }
  static Registry& InternetSettings(Registry& registry) {
    registry.SetRoot(RegistryRoot::CurrentUser);
    registry.OpenKey(std::string(kInternetSettingsPath), true);
    return registry;
  }

  HttpClient client;
  std::vector<int> codes;
  int gets = 0;
  std::function<void(HttpClient&)> onGet;
};

TEST_F(ConnectionTest, ConnectionAdapterOnLoopbackRefusesWith667) {
  const auto& list = engine->AdapterList(false);
  const auto loopback = std::find(list.begin(), list.end(), "127.0.0.1");
  if (loopback == list.end()) GTEST_SKIP() << "no loopback entry in the adapter list here";
  engine->SetConAdapter(static_cast<int>(loopback - list.begin()));
  engine->StartRequest(client, false);
  EXPECT_EQ(codes, std::vector<int>{667});
  EXPECT_EQ(gets, 0);
}

TEST_F(ConnectionTest, ProxyAltPortAndBindingComeFromTheSettings) {
  globals->SetProxyUsername("proxyuser");  // without a proxy host: direct
  globals->SetProxyPassword("pw");
  globals->SetAltPort(true);
  client.URL = "http://127.0.0.2:8245/ravoupdate.php?request=8245";
  client.LocalAddr = "10.1.1.1";
  engine->StartRequest(client, false);
  EXPECT_EQ(gets, 1);
  EXPECT_TRUE(codes.empty());
  EXPECT_EQ(client.URL, "http://127.0.0.2:80/ravoupdate.php?request=8245");  // the first only
  EXPECT_EQ(client.LocalAddr, "0.0.0.0");
  EXPECT_EQ(client.Proxy, "");
  EXPECT_EQ(client.ProxyPort, "8080");
  EXPECT_EQ(client.ProxyUsername, "proxyuser");
  EXPECT_EQ(client.ProxyPassword, "pw");
}

TEST_F(ConnectionTest, DesktopDisablesTheEditButtonsWhileARequestStarts) {
  test::RecordingView view;
  TRavo ravo(*engine, view);
  ravo.EnableEditTimer().Start();
  engine->StartRequest(client, false);
  EXPECT_FALSE(view.buttonsEnabled);
  EXPECT_FALSE(ravo.EnableEditTimer().Enabled());
}

TEST_F(ConnectionTest, AutodialSwitchIsParkedOnlyWhileTheGetStarts) {
  {
    Registry registry;
    InternetSettings(registry).WriteInteger("EnableAutodial", 1);
  }
  std::string during;
  onGet = [&](HttpClient&) {
    Registry registry;
    InternetSettings(registry);
    during = std::to_string(registry.ValueExists("EnableAutodial")) + std::to_string(registry.ValueExists("OldEnableAutodial")) +
             std::to_string(registry.ReadInteger("OldEnableAutodial").value_or(-1));
  };
  engine->StartRequest(client, false);
  EXPECT_EQ(during, "011");
  Registry registry;
  InternetSettings(registry);
  EXPECT_EQ(registry.ReadInteger("EnableAutodial"), 1);
  EXPECT_FALSE(registry.ValueExists("OldEnableAutodial"));
  // The settings object is back on its own key.
  EXPECT_EQ(globals->Registry.Root(), RegistryRoot::CurrentUser);
  EXPECT_EQ(globals->Registry.CurrentPath(), globals->KeyPath);
  EXPECT_TRUE(globals->Registry.ValueExists("AltPort"));
}

TEST_F(ConnectionTest, AutodialSwitchStaysWhenBothNamesExistOrDialingIsAllowed) {
  {
    Registry registry;
    InternetSettings(registry);
    registry.WriteInteger("EnableAutodial", 1);
    registry.WriteInteger("OldEnableAutodial", 0);
  }
  std::string during;
  onGet = [&](HttpClient&) {
    Registry registry;
    InternetSettings(registry);
    during += std::to_string(registry.ValueExists("EnableAutodial")) +
              std::to_string(registry.ValueExists("OldEnableAutodial"));
  };
  engine->StartRequest(client, false);
  engine->SetAllowAutodial(true);
  {
    Registry registry;
    InternetSettings(registry).DeleteValue("OldEnableAutodial");
  }
  engine->StartRequest(client, false);
  EXPECT_EQ(during, "1110");
}

}  // namespace
}  // namespace ravo
