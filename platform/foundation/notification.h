// NSNotification (a name, an object and optional user info) and the helper the platform uses
// to tell delegates what happened.
#pragma once

#include "platform/objc/runtime.h"

namespace foundation {

// A new notification (+1) named name (an NSString) about object (retained).
id NewNotification(id name, id object, id user_info);

// Sends selector to receiver with a notification named name_utf8 about object, when the
// receiver responds to it; the notification is released right after the call.
void SendNotification(id receiver, const char* selector, const char* name_utf8, id object);

// The same for messages sent at every event: *cache holds one notification named name_utf8
// that is reused (its object changed) as long as no receiver kept a reference to it, so a warm
// caller allocates nothing. The cache owns its notification.
void SendNotificationReusing(id* cache, id receiver, const char* selector, const char* name_utf8,
                             id object);

// True when obj is not nil and implements selector.
bool RespondsTo(id obj, const char* selector);

}  // namespace foundation
