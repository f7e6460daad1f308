// The rows of the desktop window's host list: two fixed header rows, then one
// row per update item, which the row owns.
#pragma once

#include <memory>
#include <string>

#include "engine/UpdateItem.h"

namespace ravo {

struct THostRow {
  std::string Caption;
  bool Checked = false;
  int StateImage = 1;
  std::unique_ptr<TUpdateItem> Item;  // none for the header rows
};

}  // namespace ravo
