// C++ helpers for defining classes at run time and reaching their instance variables.
//
//   Class cls = objc::DefineClass("Vo_NSButton", "NSButton");   // made and registered
//   objc::AddIvar<int64_t>(cls, "Vo_tag");                      // zero in a new object
//   objc::AddCxxIvar<std::u16string>(cls, "_text");             // constructed / destroyed
//   int64_t* tag = objc::IvarPointer<int64_t>(button, "Vo_tag");
//
// Instance variables can be added until the class has its first instance or subclass.
#pragma once

#include <new>
#include <type_traits>

#include "platform/objc/runtime.h"
#include "platform/objc/type_encoding.h"

namespace objc {

// Makes and registers a class named name under superclass; nil when the name is taken or the
// superclass is unknown.
Class DefineClass(const char* name, Class superclass);
Class DefineClass(const char* name, const char* superclass_name);

// Adds a C++ instance variable: construct runs on the zeroed field when an object is made,
// destruct when it is disposed. Answers the field's offset, or -1 when it cannot be added.
ptrdiff_t AddConstructedIvar(Class cls, const char* name, size_t size, size_t alignment,
                             void (*construct)(void*), void (*destruct)(void*));

// Adds a plain instance variable of type T (zero in a new object); answers its offset or -1.
template <class T>
ptrdiff_t AddIvar(Class cls, const char* name) {
  static_assert(std::is_trivially_copyable_v<T>, "use AddCxxIvar for C++ objects");
  uint8_t alignment_log2 = 0;
  while ((size_t{1} << alignment_log2) < alignof(T)) ++alignment_log2;
  const char* types = "?";  // records without a StructEncoding are opaque bytes
  if constexpr (HasEncoding<T>()) types = EncodingOf<T>();
  if (!class_addIvar(cls, name, sizeof(T), alignment_log2, types)) return -1;
  return ivar_getOffset(class_getInstanceVariable(cls, name));
}

// Adds an instance variable holding a C++ object of type T (default-constructed in every new
// object, destroyed at disposal); answers its offset or -1.
template <class T>
ptrdiff_t AddCxxIvar(Class cls, const char* name) {
  return AddConstructedIvar(
      cls, name, sizeof(T), alignof(T), [](void* field) { new (field) T(); },
      [](void* field) { static_cast<T*>(field)->~T(); });
}

// The field at offset inside obj.
template <class T>
T& FieldAt(id obj, ptrdiff_t offset) {
  return *reinterpret_cast<T*>(reinterpret_cast<char*>(obj) + offset);
}

// The instance variable called name of obj (searching its class and superclasses); nullptr
// for nil or when the object has no such variable.
template <class T>
T* IvarPointer(id obj, const char* name) {
  if (!obj) return nullptr;
  Ivar ivar = class_getInstanceVariable(object_getClass(obj), name);
  if (!ivar) return nullptr;
  return &FieldAt<T>(obj, ivar_getOffset(ivar));
}

// Defines the platform's classes if that has not happened yet. Class lookups and class making
// do this by themselves; C++ helpers that reach a class through a saved pointer call it first.
void EnsureClassesLoaded();

// True when obj's class is cls or inherits from it.
bool IsKindOf(id obj, Class cls);

}  // namespace objc
