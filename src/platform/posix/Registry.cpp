// The in-memory registry of the native build: a tree of keys per root, shared by
// every Registry object of the process like the real one.
#include "platform/Registry.h"

#include <algorithm>
#include <cctype>
#include <map>
#include <memory>
#include <vector>

namespace ravo {

namespace {

struct Value {
  RegistryType type = RegistryType::None;
  std::string data;  // text, bytes, or the integer's decimal text
};

// Key and value names compare without regard to letter case, as in the registry.
struct CaseLess {
  bool operator()(const std::string& a, const std::string& b) const {
    return std::lexicographical_compare(a.begin(), a.end(), b.begin(), b.end(), [](char x, char y) {
      return std::tolower(static_cast<unsigned char>(x)) < std::tolower(static_cast<unsigned char>(y));
    });
  }
};

struct Key {
  std::map<std::string, std::unique_ptr<Key>, CaseLess> subkeys;
  std::map<std::string, Value, CaseLess> values;
};

std::map<RegistryRoot, Key>& Roots() {
  static std::map<RegistryRoot, Key> roots;
  return roots;
}

std::vector<std::string> SplitPath(const std::string& path) {
  std::vector<std::string> parts;
  std::string part;
  for (char c : path) {
    if (c == '\\') {
      if (!part.empty()) parts.push_back(part);
      part.clear();
    } else {
      part += c;
    }
  }
  if (!part.empty()) parts.push_back(part);
  return parts;
}

Key* FindKey(RegistryRoot root, const std::string& path, bool create) {
  Key* key = &Roots()[root];
  for (const auto& part : SplitPath(path)) {
    auto it = key->subkeys.find(part);
    if (it == key->subkeys.end()) {
      if (!create) return nullptr;
      it = key->subkeys.emplace(part, std::make_unique<Key>()).first;
    }
    key = it->second.get();
  }
  return key;
}

}  // namespace

struct Registry::Native {
  Key* key;
};

void ResetMemoryRegistry() { Roots().clear(); }

bool Registry::OpenKey(const std::string& path, bool canCreate) {
  CloseKey();
  Key* key = FindKey(root_, path, canCreate);
  if (!key) return false;
  native_ = new Native{key};
  currentPath_ = path;
  return true;
}

void Registry::CloseKey() {
  delete native_;
  native_ = nullptr;
  currentPath_.clear();
}

bool Registry::HasOpenKey() const { return native_ != nullptr; }

bool Registry::KeyExists(const std::string& path) { return FindKey(root_, path, false) != nullptr; }

bool Registry::DeleteKey(const std::string& path) {
  auto parts = SplitPath(path);
  if (parts.empty()) return false;
  const std::string last = parts.back();
  parts.pop_back();
  std::string parentPath;
  for (const auto& p : parts) parentPath += p + "\\";
  Key* parent = FindKey(root_, parentPath, false);
  if (!parent) return false;
  auto it = parent->subkeys.find(last);
  if (it == parent->subkeys.end()) return false;
  // A key deleted under the open key leaves this object with no key, as the
  // real registry would leave a handle to a deleted key.
  if (native_ && native_->key == it->second.get()) CloseKey();
  parent->subkeys.erase(it);
  return true;
}

bool Registry::ValueExists(const std::string& name) {
  return native_ && native_->key->values.count(name) > 0;
}

RegistryType Registry::ValueType(const std::string& name) {
  if (!native_) return RegistryType::None;
  auto it = native_->key->values.find(name);
  return it == native_->key->values.end() ? RegistryType::None : it->second.type;
}

std::optional<std::string> Registry::ReadString(const std::string& name) {
  if (ValueType(name) != RegistryType::String) return std::nullopt;
  return native_->key->values[name].data;
}

std::optional<int> Registry::ReadInteger(const std::string& name) {
  if (ValueType(name) != RegistryType::Integer) return std::nullopt;
  return static_cast<int>(std::stoll(native_->key->values[name].data));
}

std::optional<std::string> Registry::ReadBinary(const std::string& name) {
  if (ValueType(name) != RegistryType::Binary) return std::nullopt;
  return native_->key->values[name].data;
}

int Registry::DataSize(const std::string& name) {
  switch (ValueType(name)) {
    case RegistryType::None:
      return -1;
    case RegistryType::Integer:
      return 4;
    case RegistryType::String:  // with its terminating zero, as stored
      return static_cast<int>(native_->key->values[name].data.size()) + 1;
    default:
      return static_cast<int>(native_->key->values[name].data.size());
  }
}

bool Registry::WriteString(const std::string& name, const std::string& value) {
  if (!native_) return false;
  native_->key->values[name] = Value{RegistryType::String, value};
  return true;
}

bool Registry::WriteInteger(const std::string& name, int value) {
  if (!native_) return false;
  native_->key->values[name] = Value{RegistryType::Integer, std::to_string(value)};
  return true;
}

bool Registry::WriteBinary(const std::string& name, const std::string& bytes) {
  if (!native_) return false;
  native_->key->values[name] = Value{RegistryType::Binary, bytes};
  return true;
}

bool Registry::RenameValue(const std::string& oldName, const std::string& newName) {
  if (!ValueExists(oldName)) return false;
  Value value = native_->key->values[oldName];
  native_->key->values.erase(oldName);
  native_->key->values[newName] = value;
  return true;
}

bool Registry::DeleteValue(const std::string& name) {
  return native_ && native_->key->values.erase(name) > 0;
}

}  // namespace ravo
