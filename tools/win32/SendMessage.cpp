// ravo_send CLASS TITLE MESSAGE: sends a window message to a desktop window, as
// another process of the program would (used by the demo).
#include <windows.h>

#include <cwchar>

int wmain(int argc, wchar_t** argv) {
  if (argc != 4) return 2;
  HWND window = FindWindowW(argv[1], argv[2]);
  if (!window) return 1;
  SendMessageW(window, static_cast<UINT>(std::wcstoul(argv[3], nullptr, 10)), 0, 0);
  return 0;
}
