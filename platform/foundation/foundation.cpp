// Defines the Foundation classes in dependency order.
#include "platform/foundation/foundation.h"

#include "platform/foundation/array.h"
#include "platform/foundation/bundle.h"
#include "platform/foundation/date.h"
#include "platform/foundation/dictionary.h"
#include "platform/foundation/method_signature.h"
#include "platform/foundation/number.h"
#include "platform/foundation/string.h"
#include "platform/foundation/user_defaults.h"

namespace foundation {

void LoadFoundationClasses() {
  LoadNSObjectClass();
  LoadNSAutoreleasePoolClass();
  LoadNSStringClass();
  LoadNSArrayClass();
  LoadNSDictionaryClass();
  LoadNSNumberClass();
  LoadNSDateClass();
  LoadNSMethodSignatureClass();
  LoadNSInvocationClass();
  LoadNSURLClass();
  LoadNSBundleClass();
  LoadNSUserDefaultsClass();
}

}  // namespace foundation
