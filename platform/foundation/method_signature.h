// NSMethodSignature: a method's result and argument types read from its type encoding, with
// the size of each, for NSInvocation.
#pragma once

#include <string>
#include <vector>

#include "platform/objc/runtime.h"

namespace foundation {

void LoadNSMethodSignatureClass();

// One type of a signature.
struct SignatureType {
  std::string encoding;  // one encoded type, without offsets or qualifiers removed
  size_t size;           // bytes
};

// The result and arguments (self and _cmd first) of a signature; nullptr for other objects.
const SignatureType* SignatureReturn(id signature);
const std::vector<SignatureType>* SignatureArguments(id signature);

}  // namespace foundation
