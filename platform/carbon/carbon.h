// The Carbon event manager and process manager calls Mindel makes: the application event
// target, event handlers, global hot keys and bringing the process to the front.
//
// Everything here runs on the main thread only (registration, installation and the delivery
// of presses, which the desktop makes from inside its event wait); nothing takes a lock.
#pragma once

#include <cstddef>
#include <cstdint>

#include "platform/carbon/mac_types.h"

extern "C" {

// --- Types ---

typedef OSType EventParamName;
typedef OSType EventParamType;

typedef struct OpaqueEventTargetRef* EventTargetRef;
typedef struct OpaqueEventHandlerRef* EventHandlerRef;
typedef struct OpaqueEventHandlerCallRef* EventHandlerCallRef;
typedef struct OpaqueEventRef* EventRef;
typedef struct OpaqueEventHotKeyRef* EventHotKeyRef;

// One kind of event a handler wants.
typedef struct EventTypeSpec {
  UInt32 eventClass;  // four-character class code, such as 'keyb'
  UInt32 eventKind;   // kind within the class, such as kEventHotKeyPressed
} EventTypeSpec;

typedef OSStatus (*EventHandlerProcPtr)(EventHandlerCallRef inHandlerCallRef, EventRef inEvent,
                                        void* inUserData);
typedef EventHandlerProcPtr EventHandlerUPP;

// The caller's 8-byte name for a hot key, handed back unchanged with every press.
typedef struct EventHotKeyID {
  UInt32 signature;  // first four bytes, any value
  UInt32 id;         // last four bytes, any value
} EventHotKeyID;

// A process of the process manager.
typedef struct ProcessSerialNumber {
  UInt32 highLongOfPSN;  // always 0 here
  UInt32 lowLongOfPSN;   // the process id, or kCurrentProcess
} ProcessSerialNumber;

}  // extern "C"

// --- Constants ---

constexpr OSStatus errAECoercionFail = -1700;
constexpr OSStatus eventParameterNotFoundErr = -9870;
constexpr OSStatus eventNotHandledErr = -9874;
constexpr OSStatus eventHotKeyExistsErr = -9878;
constexpr OSStatus eventHotKeyInvalidErr = -9879;

constexpr UInt32 kEventClassKeyboard = 0x6B657962;      // 'keyb'
constexpr UInt32 kEventHotKeyPressed = 5;               // kind: a registered hot key went down
constexpr UInt32 kEventHotKeyReleased = 6;              // kind: it went up (not delivered here)
constexpr UInt32 kEventParamDirectObject = 0x2D2D2D2D;  // '----'
constexpr UInt32 typeEventHotKeyID = 0x686B6964;        // 'hkid'
constexpr UInt32 typeWildCard = 0x2A2A2A2A;             // '****': any type
constexpr UInt32 kCurrentProcess = 2;                   // lowLongOfPSN meaning "this process"
constexpr OptionBits kEventHotKeyNoOptions = 0;
constexpr OptionBits kEventHotKeyExclusive = 1;

// Carbon modifier values of hot keys (they add up).
constexpr UInt32 cmdKey = 256;
constexpr UInt32 shiftKey = 512;
constexpr UInt32 optionKey = 2048;
constexpr UInt32 controlKey = 4096;

extern "C" {

// --- Event manager ---

// The one event target of the application; never null.
EventTargetRef GetApplicationEventTarget(void);

// Installs handler on target for the numTypes event kinds in list (copied), with userData
// handed to every call. Handlers installed later are called first; one that answers
// eventNotHandledErr passes the event on to the next. outRef may be null.
// paramErr for a null target, null handler, or a null list with numTypes above 0.
OSStatus InstallEventHandler(EventTargetRef target, EventHandlerUPP handler, ItemCount numTypes,
                             const EventTypeSpec* list, void* userData, EventHandlerRef* outRef);
// Removes a handler; it is not called again, even by a delivery under way. paramErr for a
// reference that names no installed handler.
OSStatus RemoveEventHandler(EventHandlerRef handler);

// Registers a global hot key: a virtual key code (0 to 127) with Carbon modifiers (a sum of
// cmdKey, shiftKey, optionKey, controlKey; other bits give eventHotKeyInvalidErr). A
// combination this process already holds, or one the desktop refuses, gives
// eventHotKeyExistsErr. On success *outRef names the registration.
OSStatus RegisterEventHotKey(UInt32 inHotKeyCode, UInt32 inHotKeyModifiers,
                             EventHotKeyID inHotKeyID, EventTargetRef inTarget,
                             OptionBits inOptions, EventHotKeyRef* outRef);
// Ends a registration; eventHotKeyInvalidErr for a reference that names none.
OSStatus UnregisterEventHotKey(EventHotKeyRef inHotKey);

// Reads a parameter of an event. The only parameter events carry here is the direct object
// of a hot-key event, of type typeEventHotKeyID (typeWildCard also matches), 8 bytes.
// eventParameterNotFoundErr for a name the event lacks, errAECoercionFail for another type,
// paramErr for a null event or buffer, or a buffer smaller than the value.
OSStatus GetEventParameter(EventRef inEvent, EventParamName inName, EventParamType inDesiredType,
                           EventParamType* outActualType, ByteCount inBufferSize,
                           ByteCount* outActualSize, void* outData);
UInt32 GetEventClass(EventRef inEvent);  // 0 for null
UInt32 GetEventKind(EventRef inEvent);   // 0 for null

// --- Application actions ---
// Linux desktops start an application's named actions from outside it: launchers and docks
// (the desktop entry's actions), scripts (`gapplication action`), keyboard shortcuts made in
// the desktop's settings, and global shortcuts bound through the desktop, which know a hot
// key by the action it performs. A Mac has no such calls; the program adds its actions at
// start and names the hot keys that perform them.

typedef void (*ApplicationActionProcPtr)(void* inUserData);

// Offers an action: name is its identifier for the desktop (1 to 64 characters of a-z, 0-9
// and '-', starting with a letter), title what people see ("Enter Task", UTF-8, not empty).
// perform runs on the main thread from inside the event wait, as a hot key's handler does.
// paramErr for a bad name or title, a null procedure, or a name already offered.
OSStatus AddApplicationAction(const char* inName, const char* inTitle,
                              ApplicationActionProcPtr inPerform, void* inUserData);
// Tells the desktop which action a registered hot key performs, so that a desktop binding
// global shortcuts by name binds it under the action's name and title. paramErr for a null
// name or one never offered, eventHotKeyInvalidErr for a reference that names no hot key.
OSStatus SetEventHotKeyAction(EventHotKeyRef inHotKey, const char* inActionName);

// --- Process manager ---

// This process: {0, its process id}.
OSErr GetCurrentProcess(ProcessSerialNumber* outPSN);
// Asks the desktop to bring the application to the front. Only this process can be named
// (its own number or {0, kCurrentProcess}); another gives procNotFound, null paramErr.
OSErr SetFrontProcess(const ProcessSerialNumber* inPSN);

}  // extern "C"
