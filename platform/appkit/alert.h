// NSAlert's internal calls: the alert whose modal loop is running, for the desktops.
#pragma once

#include "platform/objc/objc.h"

// The innermost alert running its modal loop (runModal), or nil.
id AlertRunning();
