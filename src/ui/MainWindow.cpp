#include "ui/MainWindow.h"

#include "app/Program.h"
#include "core/Constants.h"
#include "platform/Loop.h"
#include "platform/win32/Wide.h"

namespace ravo {

namespace {

constexpr int kMaxConsoleLines = 500;

}  // namespace

MainWindow::MainWindow(TGlobals& globals, TRavoGlobals& engine) : globals_(globals), engine_(engine) {}

MainWindow::~MainWindow() {
  controller_.reset();
  if (application_) DestroyWindow(application_);
}

bool MainWindow::Create() {
  const std::wstring className = Cp950ToWide(std::string(kWindowClass));
  if (!RegisterClass(className.c_str())) return false;
  // The application's own window carries the application title, as the form
  // library's application window does; the main window is owned by it.
  const std::wstring applicationTitle =
      Cp950ToWide(std::string(kApplicationTitlePrefix) + std::string(kVersion));
  application_ = CreateWindowExW(0, L"STATIC", applicationTitle.c_str(), WS_POPUP, 0, 0, 0, 0, nullptr,
                                 nullptr, GetModuleHandleW(nullptr), nullptr);
  const std::wstring title = Cp950ToWide(DesktopWindowTitle());
  if (!Window::Create(className.c_str(), title.c_str(), WS_OVERLAPPEDWINDOW, WS_EX_APPWINDOW, CW_USEDEFAULT,
                      CW_USEDEFAULT, 560, 420, application_)) {
    return false;
  }
  console_ = CreateWindowExW(WS_EX_CLIENTEDGE, L"LISTBOX", nullptr,
                             WS_CHILD | WS_VISIBLE | WS_VSCROLL | LBS_NOINTEGRALHEIGHT | LBS_NOSEL, 0,
                             0, 0, 0, Handle(), nullptr, GetModuleHandleW(nullptr), nullptr);
  SendMessageW(console_, WM_SETFONT, reinterpret_cast<WPARAM>(GetStockObject(DEFAULT_GUI_FONT)), TRUE);
  controller_ = std::make_unique<TRavo>(engine_, *this);
  ShowWindow(Handle(), SW_SHOWNORMAL);
  return true;
}

void MainWindow::ConsoleAdd(const std::string& message) {
  if (!console_) return;
  const std::wstring line = Cp950ToWide(message);
  const LRESULT index = SendMessageW(console_, LB_ADDSTRING, 0, reinterpret_cast<LPARAM>(line.c_str()));
  if (SendMessageW(console_, LB_GETCOUNT, 0, 0) > kMaxConsoleLines) {
    SendMessageW(console_, LB_DELETESTRING, 0, 0);
  }
  SendMessageW(console_, LB_SETTOPINDEX, static_cast<WPARAM>(index), 0);
}

void MainWindow::CloseWindow() { PostMessageW(Handle(), WM_CLOSE, 0, 0); }

void MainWindow::ShowRetirementMessage(const std::string& text) {
  const std::wstring caption = Cp950ToWide(std::string(kWindowTitlePrefix));
  MessageBoxW(nullptr, Cp950ToWide(text).c_str(), caption.c_str(), MB_OK | MB_ICONEXCLAMATION | MB_SYSTEMMODAL);
}

void MainWindow::SaveGeometry() {
  RECT bounds{};
  if (!GetWindowRect(Handle(), &bounds)) return;
  engine_.SetWindowTop(bounds.top);
  engine_.SetWindowLeft(bounds.left);
  engine_.SetWindowWidth(bounds.right - bounds.left);
  engine_.SetWindowHeight(bounds.bottom - bounds.top);
}

LRESULT MainWindow::HandleMessage(UINT message, WPARAM wParam, LPARAM lParam) {
  if (controller_ && controller_->HandleMessage(message, wParam, lParam)) return 0;
  switch (message) {
    case WM_SIZE: {
      RECT client{};
      GetClientRect(Handle(), &client);
      if (console_) MoveWindow(console_, 0, 0, client.right, client.bottom, TRUE);
      return 0;
    }
    case WM_CLOSE:
      // A close request ends the program only after the exit command (or the end
      // of the session); otherwise it minimises the window.
      if (!IsIconic(Handle())) SaveGeometry();
      if (controller_ && controller_->MayClose) {
        DestroyWindow(Handle());
      } else {
        ShowWindow(Handle(), SW_MINIMIZE);
      }
      return 0;
    case WM_QUERYENDSESSION:
      if (controller_) controller_->MayClose = true;
      return TRUE;
    case WM_DESTROY:
      Loop::Terminate();
      return 0;
    default:
      return Window::HandleMessage(message, wParam, lParam);
  }
}

void RunDesktop(TGlobals& globals, TRavoGlobals& engine) {
  MainWindow window(globals, engine);
  if (!window.Create()) return;
  Loop::Run();
}

}  // namespace ravo
