// What the registry access does the same way on both platforms.
#include "platform/Registry.h"

namespace ravo {

Registry::Registry() = default;
Registry::~Registry() { CloseKey(); }

void Registry::SetRoot(RegistryRoot root) {
  CloseKey();
  root_ = root;
}

std::optional<bool> Registry::ReadBool(const std::string& name) {
  const auto value = ReadInteger(name);
  if (!value) return std::nullopt;
  return *value != 0;
}

bool Registry::WriteBool(const std::string& name, bool value) { return WriteInteger(name, value ? 1 : 0); }

}  // namespace ravo
