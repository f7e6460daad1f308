// The desktop application's main window (class TRavo): renders the controller's
// model and hands window messages to it.
#pragma once

#include <memory>

#include "network/Ravo.h"
#include "ui/Window.h"

namespace ravo {

class MainWindow : public Window, public TRavoView {
 public:
  MainWindow(TGlobals& globals, TRavoGlobals& engine);
  ~MainWindow() override;

  bool Create();
  TRavo& Controller() { return *controller_; }

  // TRavoView
  void ConsoleAdd(const std::string& message) override;
  void RowsChanged() override {}
  void SetEditButtonsEnabled(bool) override {}
  void CloseWindow() override;
  void ShowRetirementMessage(const std::string& text) override;
  void SetSmoothScrolling(bool) override {}

 protected:
  LRESULT HandleMessage(UINT message, WPARAM wParam, LPARAM lParam) override;

 private:
  void SaveGeometry();

  TGlobals& globals_;
  TRavoGlobals& engine_;
  HWND console_ = nullptr;
  HWND application_ = nullptr;  // the application's hidden taskbar window
  std::unique_ptr<TRavo> controller_;
};

// Creates the main window and runs the message loop until the application ends.
void RunDesktop(TGlobals& globals, TRavoGlobals& engine);

}  // namespace ravo
