// The address-change tasks: user commands started through the shell after a
// complete update run, with "%IP" replaced by the current address.
#include <cctype>

#include "core/ResultCode.h"
#include "core/Texts.h"
#include "engine/RavoGlobals.h"
#include "platform/Shell.h"

namespace ravo {

namespace {

// The address as the check page sent it may carry blanks and line breaks; a
// command line only ever receives a dotted IPv4 address, never other server text.
std::string TaskAddress(const std::string& current) {
  const std::string_view address = TrimControl(current);
  int parts = 0;
  int digits = 0;
  int value = 0;
  for (char c : address) {
    if (c >= '0' && c <= '9') {
      value = value * 10 + (c - '0');
      if (++digits > 3 || value > 255) return {};
    } else if (c == '.' && digits > 0) {
      ++parts;
      digits = 0;
      value = 0;
    } else {
      return {};
    }
  }
  if (parts != 3 || digits == 0) return {};
  return std::string(address);
}

std::string ReplaceAddress(const std::string& command, const std::string& address) {
  std::string result;
  for (std::size_t i = 0; i < command.size(); ++i) {
    if (command[i] == '%' && i + 2 < command.size() &&
        std::toupper(static_cast<unsigned char>(command[i + 1])) == 'I' &&
        std::toupper(static_cast<unsigned char>(command[i + 2])) == 'P') {
      result += address;
      i += 2;
    } else {
      result += command[i];
    }
  }
  return result;
}

struct Task {
  std::string command;
  std::string verb;
};

}  // namespace

std::pair<std::string, std::string> TRavoGlobals::SplitCommand(const std::string& command) const {
  const std::string text = ReplaceAddress(command, TaskAddress(CurrentAddress));
  if (!text.empty() && (text[0] == '"' || text[0] == '\'')) {
    const char quote = text[0];
    std::string file;
    std::size_t i = 1;
    while (i < text.size()) {
      if (text[i] == quote) {
        if (i + 1 < text.size() && text[i + 1] == quote) {
          file += quote;
          i += 2;
          continue;
        }
        break;
      }
      file += text[i++];
    }
    // The parameters start after the file, its two quotes and one separator.
    const std::size_t start = file.size() + 3;
    return {file, start < text.size() ? text.substr(start) : std::string()};
  }
  const auto blank = text.find(' ');
  if (blank != std::string::npos) return {text.substr(0, blank), text.substr(blank + 1)};
  return {text, ""};
}

void TRavoGlobals::RunTasks() {
  // The tasks are read with the key moved to each task's subkey, without
  // letting other events run, then the key returns to the main key.
  std::vector<Task> tasks;
  auto& registry = Globals.Registry;
  registry.CloseKey();
  for (int n = 0;; ++n) {
    if (!registry.OpenKey(Globals.KeyPath + "\\Tasks\\" + std::to_string(n), false)) break;
    const bool checked = registry.ReadBool("Checked").value_or(false);
    const bool asService = registry.ReadBool("RunAsService").value_or(false);
    if (checked && (MainWindow || asService)) {
      tasks.push_back({registry.ReadString("Command").value_or(""), registry.ReadString("RunHow").value_or("")});
    }
    registry.CloseKey();
  }
  Globals.OpenMainKey();
  if (tasks.empty()) return;
  if (TaskAddress(CurrentAddress).empty()) {
    LogMessage(text::kTasksNotRun);
    return;
  }
  for (const Task& task : tasks) {
    const auto [file, parameters] = SplitCommand(task.command);
    ShellExecute(task.verb, file, parameters);
  }
}

}  // namespace ravo
