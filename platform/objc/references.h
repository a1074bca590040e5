// C++ helpers for reference counting: retain/release/autorelease and an autorelease pool held
// for a scope.
//
//   {
//     objc::AutoreleasePool pool;                    // pushed here
//     id s = objc::Autorelease(objc::Send(objc::Send(cls, "alloc"), "init"));
//   }                                                // popped here: s is released
//
//   objc::Ref window(objc::Send(cls, "new"));        // adopts the +1 reference; releases it
#pragma once

#include <utility>

#include "platform/objc/runtime.h"

namespace objc {

inline id Retain(id obj) {
  return objc_retain(obj);
}
inline void Release(id obj) {
  objc_release(obj);
}
inline id Autorelease(id obj) {
  return objc_autorelease(obj);
}

// An autorelease pool for the lifetime of the C++ object.
class AutoreleasePool {
 public:
  AutoreleasePool() : token_(objc_autoreleasePoolPush()) {}
  ~AutoreleasePool() { objc_autoreleasePoolPop(token_); }
  AutoreleasePool(const AutoreleasePool&) = delete;
  AutoreleasePool& operator=(const AutoreleasePool&) = delete;

  // Releases what was handed over so far and keeps the pool open.
  void Drain() {
    objc_autoreleasePoolPop(token_);
    token_ = objc_autoreleasePoolPush();
  }

 private:
  void* token_;  // the push's token
};

// Owns one reference to an object: adopts it on construction, releases it on destruction.
class Ref {
 public:
  Ref() = default;
  explicit Ref(id adopted) : object_(adopted) {}
  static Ref Retained(id obj) { return Ref(objc_retain(obj)); }
  Ref(const Ref& other) : object_(objc_retain(other.object_)) {}
  Ref(Ref&& other) noexcept : object_(std::exchange(other.object_, nullptr)) {}
  Ref& operator=(Ref other) {
    std::swap(object_, other.object_);
    return *this;
  }
  ~Ref() { objc_release(object_); }

  id get() const { return object_; }
  operator id() const { return object_; }
  explicit operator bool() const { return object_ != nullptr; }
  // Gives the reference up to the caller.
  id Take() { return std::exchange(object_, nullptr); }

 private:
  id object_ = nullptr;  // the owned object, or nil
};

}  // namespace objc
