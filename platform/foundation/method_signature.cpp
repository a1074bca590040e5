// NSMethodSignature: parses a type encoding such as "v@:{CGSize=dd}" or "c24@0:8q16" into the
// result type and the argument types with their sizes.
#include "platform/foundation/method_signature.h"

#include "platform/foundation/foundation.h"
#include "platform/objc/objc.h"

namespace {

// The instance variable of a signature.
struct SignatureFields {
  std::string types;                                 // the encoding it was made from
  foundation::SignatureType result;                  // the return type
  std::vector<foundation::SignatureType> arguments;  // self, _cmd, then the parameters
};

Class gSignature;        // NSMethodSignature
ptrdiff_t gFields = -1;  // offset of SignatureFields

SignatureFields& Fields(id self) {
  return objc::FieldAt<SignatureFields>(self, gFields);
}

// Splits types into its types; false when it is malformed or has no result type.
bool Parse(const char* types, SignatureFields* out) {
  const char* p = types;
  bool first = true;
  while (*p) {
    size_t size = 0;
    size_t alignment = 0;
    const char* end = objc::ParseType(p, &size, &alignment);
    if (!end) return false;
    foundation::SignatureType type{std::string(p, end), size};
    if (first) {
      out->result = type;
      first = false;
    } else {
      out->arguments.push_back(type);
    }
    p = objc::SkipOffset(end);
  }
  return !first;
}

// Signatures are made only from encodings; a malformed one answers nil.
id SignatureWithTypes(Class cls, SEL, const char* types) {
  if (!types) return nil;
  id signature = class_createInstance(cls, 0);
  if (!signature) return nil;
  Fields(signature).types = types;
  if (!Parse(types, &Fields(signature))) {
    objc_release(signature);
    return nil;
  }
  return objc_autorelease(signature);
}

NSUInteger NumberOfArguments(id self, SEL) {
  return Fields(self).arguments.size();
}
const char* ArgumentType(id self, SEL, NSUInteger index) {
  const auto& arguments = Fields(self).arguments;
  return index < arguments.size() ? arguments[index].encoding.c_str() : nullptr;
}
NSUInteger ReturnLength(id self, SEL) {
  return Fields(self).result.size;
}
const char* ReturnType(id self, SEL) {
  return Fields(self).result.encoding.c_str();
}
NSUInteger FrameLength(id self, SEL) {
  NSUInteger total = 0;
  for (const auto& argument : Fields(self).arguments) total += (argument.size + 7) / 8 * 8;
  return total;
}
BOOL IsEqual(id self, SEL, id other) {
  return other && objc::IsKindOf(other, gSignature) && Fields(other).types == Fields(self).types
             ? YES
             : NO;
}

}  // namespace

namespace foundation {

const SignatureType* SignatureReturn(id signature) {
  return signature && objc::IsKindOf(signature, gSignature) ? &Fields(signature).result : nullptr;
}
const std::vector<SignatureType>* SignatureArguments(id signature) {
  return signature && objc::IsKindOf(signature, gSignature) ? &Fields(signature).arguments
                                                            : nullptr;
}

void LoadNSMethodSignatureClass() {
  gSignature = objc::DefineClass("NSMethodSignature", "NSObject");
  gFields = objc::AddCxxIvar<SignatureFields>(gSignature, "_fields");
  objc::AddClassMethod(gSignature, "signatureWithObjCTypes:", &SignatureWithTypes);
  objc::AddMethod(gSignature, "numberOfArguments", &NumberOfArguments);
  objc::AddMethod(gSignature, "getArgumentTypeAtIndex:", &ArgumentType);
  objc::AddMethod(gSignature, "methodReturnLength", &ReturnLength);
  objc::AddMethod(gSignature, "methodReturnType", &ReturnType);
  objc::AddMethod(gSignature, "frameLength", &FrameLength);
  objc::AddMethod(gSignature, "isEqual:", &IsEqual);
}

}  // namespace foundation
