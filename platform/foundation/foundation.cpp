// Defines the Foundation classes in dependency order.
#include "platform/foundation/foundation.h"

namespace foundation {

void LoadFoundationClasses() {
  LoadNSObjectClass();
  LoadNSAutoreleasePoolClass();
}

}  // namespace foundation
