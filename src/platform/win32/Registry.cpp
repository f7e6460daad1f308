#include <windows.h>

#include <vector>

#include "platform/Registry.h"
#include "platform/win32/Wide.h"

namespace ravo {

struct Registry::Native {
  HKEY key;
};

namespace {

HKEY RootHandle(RegistryRoot root) {
  return root == RegistryRoot::LocalMachine ? HKEY_LOCAL_MACHINE : HKEY_CURRENT_USER;
}

std::wstring W(const std::string& text) { return Cp950ToWide(text); }

// The path without leading separators: paths are always taken from the root.
std::wstring KeyPath(const std::string& path) {
  std::size_t start = 0;
  while (start < path.size() && path[start] == '\\') ++start;
  return W(path.substr(start));
}

struct RawValue {
  DWORD type = REG_NONE;
  std::vector<BYTE> data;
};

bool Query(HKEY key, const std::string& name, RawValue& out) {
  const std::wstring wname = W(name);
  DWORD type = 0;
  DWORD size = 0;
  if (RegQueryValueExW(key, wname.c_str(), nullptr, &type, nullptr, &size) != ERROR_SUCCESS) {
    return false;
  }
  out.data.assign(size, 0);
  LONG rc = RegQueryValueExW(key, wname.c_str(), nullptr, &type, out.data.data(), &size);
  if (rc != ERROR_SUCCESS) return false;
  out.data.resize(size);
  out.type = type;
  return true;
}

bool Set(HKEY key, const std::string& name, DWORD type, const void* data, DWORD size) {
  return RegSetValueExW(key, W(name).c_str(), 0, type, static_cast<const BYTE*>(data), size) ==
         ERROR_SUCCESS;
}

}  // namespace

void ResetMemoryRegistry() {}

bool Registry::OpenKey(const std::string& path, bool canCreate) {
  CloseKey();
  HKEY key = nullptr;
  const std::wstring wpath = KeyPath(path);
  LONG rc;
  if (canCreate) {
    rc = RegCreateKeyExW(RootHandle(root_), wpath.c_str(), 0, nullptr, REG_OPTION_NON_VOLATILE,
                         KEY_ALL_ACCESS, nullptr, &key, nullptr);
  } else {
    rc = RegOpenKeyExW(RootHandle(root_), wpath.c_str(), 0, KEY_ALL_ACCESS, &key);
  }
  if (rc != ERROR_SUCCESS) return false;
  native_ = new Native{key};
  currentPath_ = path;
  return true;
}

// Closing flushes the key: writes are not deferred.
void Registry::CloseKey() {
  if (native_) {
    RegFlushKey(native_->key);
    RegCloseKey(native_->key);
    delete native_;
    native_ = nullptr;
  }
  currentPath_.clear();
}

bool Registry::HasOpenKey() const { return native_ != nullptr; }

bool Registry::KeyExists(const std::string& path) {
  HKEY key = nullptr;
  if (RegOpenKeyExW(RootHandle(root_), KeyPath(path).c_str(), 0, KEY_READ, &key) != ERROR_SUCCESS) {
    return false;
  }
  RegCloseKey(key);
  return true;
}

bool Registry::DeleteKey(const std::string& path) {
  const std::wstring wpath = KeyPath(path);
  if (wpath.empty()) return false;
  RegDeleteTreeW(RootHandle(root_), wpath.c_str());
  return RegDeleteKeyW(RootHandle(root_), wpath.c_str()) == ERROR_SUCCESS || !KeyExists(path);
}

bool Registry::ValueExists(const std::string& name) {
  if (!native_) return false;
  return RegQueryValueExW(native_->key, W(name).c_str(), nullptr, nullptr, nullptr, nullptr) ==
         ERROR_SUCCESS;
}

RegistryType Registry::ValueType(const std::string& name) {
  if (!native_) return RegistryType::None;
  DWORD type = 0;
  if (RegQueryValueExW(native_->key, W(name).c_str(), nullptr, &type, nullptr, nullptr) !=
      ERROR_SUCCESS) {
    return RegistryType::None;
  }
  switch (type) {
    case REG_SZ:
    case REG_EXPAND_SZ:
      return RegistryType::String;
    case REG_DWORD:
      return RegistryType::Integer;
    case REG_BINARY:
      return RegistryType::Binary;
    default:
      return RegistryType::Other;
  }
}

std::optional<std::string> Registry::ReadString(const std::string& name) {
  RawValue value;
  if (!native_ || !Query(native_->key, name, value)) return std::nullopt;
  if (value.type != REG_SZ && value.type != REG_EXPAND_SZ) return std::nullopt;
  std::wstring text(reinterpret_cast<const wchar_t*>(value.data.data()),
                    value.data.size() / sizeof(wchar_t));
  while (!text.empty() && text.back() == L'\0') text.pop_back();
  return WideToCp950(text);
}

std::optional<int> Registry::ReadInteger(const std::string& name) {
  RawValue value;
  if (!native_ || !Query(native_->key, name, value)) return std::nullopt;
  if (value.type != REG_DWORD || value.data.size() != sizeof(DWORD)) return std::nullopt;
  DWORD number = 0;
  memcpy(&number, value.data.data(), sizeof number);
  return static_cast<int>(number);
}

std::optional<std::string> Registry::ReadBinary(const std::string& name) {
  RawValue value;
  if (!native_ || !Query(native_->key, name, value)) return std::nullopt;
  if (value.type != REG_BINARY) return std::nullopt;
  return std::string(value.data.begin(), value.data.end());
}

int Registry::DataSize(const std::string& name) {
  if (!native_) return -1;
  DWORD size = 0;
  if (RegQueryValueExW(native_->key, W(name).c_str(), nullptr, nullptr, nullptr, &size) !=
      ERROR_SUCCESS) {
    return -1;
  }
  return static_cast<int>(size);
}

bool Registry::WriteString(const std::string& name, const std::string& value) {
  if (!native_) return false;
  const std::wstring wide = W(value);
  return Set(native_->key, name, REG_SZ, wide.c_str(),
             static_cast<DWORD>((wide.size() + 1) * sizeof(wchar_t)));
}

bool Registry::WriteInteger(const std::string& name, int value) {
  if (!native_) return false;
  const DWORD number = static_cast<DWORD>(value);
  return Set(native_->key, name, REG_DWORD, &number, sizeof number);
}

bool Registry::WriteBinary(const std::string& name, const std::string& bytes) {
  if (!native_) return false;
  return Set(native_->key, name, REG_BINARY, bytes.data(), static_cast<DWORD>(bytes.size()));
}

bool Registry::RenameValue(const std::string& oldName, const std::string& newName) {
  RawValue value;
  if (!native_ || !Query(native_->key, oldName, value)) return false;
  if (!Set(native_->key, newName, value.type, value.data.data(),
           static_cast<DWORD>(value.data.size()))) {
    return false;
  }
  return RegDeleteValueW(native_->key, W(oldName).c_str()) == ERROR_SUCCESS;
}

bool Registry::DeleteValue(const std::string& name) {
  return native_ && RegDeleteValueW(native_->key, W(name).c_str()) == ERROR_SUCCESS;
}

}  // namespace ravo
