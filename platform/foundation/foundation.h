// Foundation for the platform: the class loaders of NSObject, NSString, the collections,
// NSNumber, NSDate, NSBundle, NSUserDefaults, NSMethodSignature, NSInvocation and
// NSAutoreleasePool, and the helpers other platform code uses to make and read them.
#pragma once

namespace foundation {

// Defines every Foundation class, superclasses first. Called once by the runtime.
void LoadFoundationClasses();

void LoadNSObjectClass();
void LoadNSAutoreleasePoolClass();
void LoadNSInvocationClass();

}  // namespace foundation
