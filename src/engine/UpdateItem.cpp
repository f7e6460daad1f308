#include "engine/UpdateItem.h"

namespace ravo {

TUpdateItem::~TUpdateItem() { ReleaseClient(); }

// Destroying the client abandons its request without a completion, so nothing
// of this item is touched afterwards.
void TUpdateItem::ReleaseClient() { Client.reset(); }

}  // namespace ravo
