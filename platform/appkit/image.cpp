// NSImage: a drawn size in points over a list of representations that hold the pixels, with a
// name (the picture file or file type it stands for), the template flag, and the name of the
// picture file its pixels came from. The image library's numbered images and the workspace's
// file-type icons both use it.
#include "platform/appkit/image.h"

#include <algorithm>
#include <string>
#include <vector>

#include "platform/appkit/appkit.h"
#include "platform/foundation/array.h"
#include "platform/foundation/string.h"

namespace {

// The state of one image.
struct ImageState {
  NSSize size{};               // drawn size in points; 0 x 0 until set (then the first rep's)
  std::vector<id> reps;        // retained representations, in the order they were added
  id name = nil;               // NSString given with setName:, copied; nil when none
  bool is_template = false;    // setTemplate:: drawn as a mask tinted by the desktop
  bool data_retained = false;  // setDataRetained:; stored only (pixels are always kept)
  std::string source_name;     // file name of the picture last drawn into the image, or ""
  std::string display_name;    // ImageDisplayName's text for a name given with setName:
};

Class gImage;                 // NSImage
ptrdiff_t gStateOffset = -1;  // offset of ImageState

ImageState& State(id self) {
  return objc::FieldAt<ImageState>(self, gStateOffset);
}
bool IsImage(id obj) {
  return obj && gImage && objc::IsKindOf(obj, gImage);
}

// --- Methods ---

id InitWithSize(id self, SEL, NSSize size) {
  self = objc::SendSuper(self, gImage, "init");
  if (self) State(self).size = size;
  return self;
}

// An image whose size was never set takes the size of its first representation, as Cocoa's.
NSSize Size(id self, SEL) {
  const ImageState& state = State(self);
  if ((state.size.width != 0 || state.size.height != 0) || state.reps.empty()) return state.size;
  return objc::Send<NSSize>(state.reps.front(), "size");
}
void SetSize(id self, SEL, NSSize size) {
  State(self).size = size;
}

void AddRepresentation(id self, SEL, id rep) {
  if (!rep) return;
  ImageState& state = State(self);
  if (std::find(state.reps.begin(), state.reps.end(), rep) != state.reps.end()) return;
  state.reps.push_back(objc_retain(rep));
  ImageRepSetOwner(rep, self);
}
void AddRepresentations(id self, SEL, id reps) {
  // Copied first: adding must not be disturbed by the array changing under it.
  std::vector<id> items = foundation::ArrayItems(reps);
  for (id rep : items) AddRepresentation(self, nullptr, rep);
}
void RemoveRepresentation(id self, SEL, id rep) {
  ImageState& state = State(self);
  auto found = std::find(state.reps.begin(), state.reps.end(), rep);
  if (found == state.reps.end()) return;
  state.reps.erase(found);
  if (ImageRepOwner(rep) == self) ImageRepSetOwner(rep, nil);
  objc_release(rep);
}
id Representations(id self, SEL) {
  return foundation::MakeArray(State(self).reps);
}

void SetTemplate(id self, SEL, BOOL is_template) {
  State(self).is_template = is_template != NO;
}
BOOL IsTemplate(id self, SEL) {
  return State(self).is_template ? YES : NO;
}
void SetDataRetained(id self, SEL, BOOL retained) {
  State(self).data_retained = retained != NO;
}
BOOL IsDataRetained(id self, SEL) {
  return State(self).data_retained ? YES : NO;
}
// Nothing is cached apart from the representations themselves: they are always current.
void Recache(id, SEL) {}
// Valid once it has a size or something to draw.
BOOL IsValid(id self, SEL) {
  return State(self).size.width > 0 || !State(self).reps.empty() ? YES : NO;
}

id Name(id self, SEL) {
  return State(self).name;
}
BOOL SetName(id self, SEL, id name) {
  appkit::AssignCopied(&State(self).name, name);
  State(self).display_name.clear();
  return YES;
}

void Dealloc(id self, SEL sel) {
  ImageState& state = State(self);
  std::vector<id> reps;
  reps.swap(state.reps);
  for (id rep : reps) {
    if (ImageRepOwner(rep) == self) ImageRepSetOwner(rep, nil);
    objc_release(rep);
  }
  appkit::AssignRetained(&state.name, nil);
  objc::SendSuper<void>(self, gImage, sel);
}

}  // namespace

const char* ImageDisplayName(id image) {
  if (!IsImage(image)) return nullptr;
  ImageState& state = State(image);
  if (!state.source_name.empty()) return state.source_name.c_str();
  for (id rep : state.reps) {
    const char* file = ImageRepFileName(rep);
    if (file && *file) return file;
  }
  if (!state.name) return nullptr;
  if (state.display_name.empty()) state.display_name = foundation::StringUtf8(state.name);
  return state.display_name.c_str();
}

void ImageSetSourceName(id image, const char* file_name) {
  if (!IsImage(image) || !file_name || !*file_name) return;
  State(image).source_name = file_name;
}

namespace appkit {

void LoadNSImageClass() {
  Class cls = gImage = objc::DefineClass("NSImage", "NSObject");
  gStateOffset = objc::AddCxxIvar<ImageState>(cls, "_imageState");
  objc::AddMethod(cls, "initWithSize:", &InitWithSize);
  objc::AddMethod(cls, "size", &Size);
  objc::AddMethod(cls, "setSize:", &SetSize);
  objc::AddMethod(cls, "addRepresentation:", &AddRepresentation);
  objc::AddMethod(cls, "addRepresentations:", &AddRepresentations);
  objc::AddMethod(cls, "removeRepresentation:", &RemoveRepresentation);
  objc::AddMethod(cls, "representations", &Representations);
  objc::AddMethod(cls, "setTemplate:", &SetTemplate);
  objc::AddMethod(cls, "isTemplate", &IsTemplate);
  objc::AddMethod(cls, "setDataRetained:", &SetDataRetained);
  objc::AddMethod(cls, "isDataRetained", &IsDataRetained);
  objc::AddMethod(cls, "recache", &Recache);
  objc::AddMethod(cls, "isValid", &IsValid);
  objc::AddMethod(cls, "name", &Name);
  objc::AddMethod(cls, "setName:", &SetName);
  objc::AddMethod(cls, "dealloc", &Dealloc);
}

}  // namespace appkit
