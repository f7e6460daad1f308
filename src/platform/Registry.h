// Access to the system registry in the manner of the form library's registry
// class: a root, one open key at a time, typed values.  Names and texts are code
// page 950 bytes.  Key paths are relative to the root.
#pragma once

#include <optional>
#include <string>

namespace ravo {

enum class RegistryRoot { LocalMachine, CurrentUser };
enum class RegistryType { None, String, Integer, Binary, Other };

class Registry {
 public:
  Registry();
  ~Registry();
  Registry(const Registry&) = delete;
  Registry& operator=(const Registry&) = delete;

  RegistryRoot Root() const { return root_; }
  // Changing the root closes the open key.
  void SetRoot(RegistryRoot root);

  // Opens the key, creating it (and its parents) when allowed; the previous key
  // is closed first.  False when the key cannot be opened.
  bool OpenKey(const std::string& path, bool canCreate);
  void CloseKey();
  bool HasOpenKey() const;
  // The path of the open key; empty when none is open.
  const std::string& CurrentPath() const { return currentPath_; }

  bool KeyExists(const std::string& path);
  // Deletes the key with all its subkeys.
  bool DeleteKey(const std::string& path);

  // Values of the open key.  A read of a missing value or of a value of another
  // type gives nothing.
  bool ValueExists(const std::string& name);
  RegistryType ValueType(const std::string& name);
  std::optional<std::string> ReadString(const std::string& name);
  std::optional<int> ReadInteger(const std::string& name);
  std::optional<bool> ReadBool(const std::string& name);
  std::optional<std::string> ReadBinary(const std::string& name);
  // Size in bytes of the value's data; -1 when it does not exist.
  int DataSize(const std::string& name);
  bool WriteString(const std::string& name, const std::string& value);
  bool WriteInteger(const std::string& name, int value);
  bool WriteBool(const std::string& name, bool value);
  bool WriteBinary(const std::string& name, const std::string& bytes);
  // Moves the value to the new name, data and type unchanged.
  bool RenameValue(const std::string& oldName, const std::string& newName);
  bool DeleteValue(const std::string& name);

  struct Native;  // the platform's open key

 private:
  RegistryRoot root_ = RegistryRoot::CurrentUser;
  std::string currentPath_;
  Native* native_ = nullptr;
};

// Linux only: empties the in-memory registry (each test starts from a fresh one).
void ResetMemoryRegistry();

}  // namespace ravo
