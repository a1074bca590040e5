// NSEvent's internal calls: the fields the application reads at every event, and matching a
// key event against a key equivalent (buttons and menu items).
#pragma once

#include "platform/objc/objc.h"

// The event's type (0 for nil or an object that is not an NSEvent).
NSUInteger EventType(id event);
// The number of the window the event names (0 when none).
NSInteger EventWindowNumber(id event);

// True when the key-down event presses key_equivalent (an NSString) with exactly the modifiers
// of mask (shift, control, option, command). An upper-case letter implies shift, as in Cocoa.
bool KeyEquivalentMatches(id event, id key_equivalent, NSUInteger mask);
