// The runtime's private records behind classes and instance variables (not for use outside
// platform/objc).
#pragma once

#include <memory>
#include <string>
#include <unordered_map>
#include <vector>

#include "platform/objc/method.h"
#include "platform/objc/runtime.h"

// One instance variable; owned by its class.
struct objc_ivar {
  std::string name;   // as declared, e.g. "Vo_tag"
  std::string types;  // its type encoding
  ptrdiff_t offset;   // bytes from the object's start
  size_t size;        // bytes
};

namespace objc {

// An instance variable that holds a C++ object, built when the object is made and destroyed
// when it is disposed.
struct CxxField {
  ptrdiff_t offset;                // bytes from the object's start
  void (*construct)(void* field);  // placement-new of the C++ object
  void (*destruct)(void* field);   // its destructor
};

struct ClassRecord {
  std::string name;      // the class's name (the metaclass carries the same name)
  Class cls;             // the class object this record describes
  Class superclass;      // nil for a root class; a metaclass's is the superclass's metaclass
  bool is_meta;          // true for a metaclass
  bool registered;       // found by objc_lookUpClass
  bool frozen;           // has instances or subclasses: the layout is fixed
  size_t instance_size;  // bytes of an instance, header included
  std::unordered_map<SEL, std::unique_ptr<objc_method>> methods;  // this class's own methods
  std::vector<std::unique_ptr<objc_ivar>> ivars;                  // this class's own ivars
  std::vector<CxxField> cxx_fields;  // this class's C++ instance variables, in order
};

// Makes every platform class known; the runtime calls it once, before the first class lookup.
void LoadPlatformClasses();

}  // namespace objc
