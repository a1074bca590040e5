// NSView's internal calls: moving a view tree into a window, and coordinates.
#pragma once

#include "platform/objc/objc.h"

// Makes window (nil: none) the window of view and of every view below it. A view that leaves
// a window where it was first responder hands that role back to the window.
void ViewSetWindow(id view, id window);

// Converts a point between view's own coordinates and its window's base coordinates
// (the content area, origin at the lower left), honouring isFlipped at every level.
NSPoint ViewConvertToWindow(id view, NSPoint point);
NSPoint ViewConvertFromWindow(id view, NSPoint point);

// True when view is ancestor or lies below it.
bool ViewIsDescendantOf(id view, id ancestor);
