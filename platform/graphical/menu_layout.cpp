// The panel's view of a menu of the AppKit model.
#include "platform/graphical/menu_layout.h"

#include "platform/appkit/appkit.h"
#include "platform/foundation/array.h"
#include "platform/foundation/string.h"
#include "platform/foundation/text_encoding.h"
#include "platform/graphical/keysyms.h"

namespace {

constexpr int kMaxDepth = 8;

std::u16string UnitsOf(id string) {
  return foundation::IsString(string) ? foundation::StringUnits(string) : std::u16string();
}

void Fill(id menu, int depth, MenuItemNumbers* numbers, MenuEntry* parent) {
  if (!menu || depth > kMaxDepth) return;
  for (id item : foundation::ArrayItems(objc::Send(menu, "itemArray"))) {
    MenuEntry entry;
    entry.id = numbers->NumberOf(item);
    entry.visible = !objc::Send<BOOL>(item, "isHidden");
    if (objc::Send<BOOL>(item, "isSeparatorItem")) {
      entry.separator = true;
      entry.enabled = false;
    } else {
      entry.label = DbusMenuLabel(UnitsOf(objc::Send(item, "title")));
      entry.enabled = objc::Send<BOOL>(item, "isEnabled");
      entry.shortcut = DbusMenuShortcut(UnitsOf(objc::Send(item, "keyEquivalent")),
                                        objc::Send<NSUInteger>(item, "keyEquivalentModifierMask"));
      if (id submenu = objc::Send(item, "submenu")) {
        entry.has_submenu = true;
        Fill(submenu, depth + 1, numbers, &entry);
      }
    }
    parent->children.push_back(std::move(entry));
  }
}

void CollectIds(const MenuEntry& entry, std::vector<int32_t>* ids) {
  ids->push_back(entry.id);
  for (const MenuEntry& child : entry.children) CollectIds(child, ids);
}

}  // namespace

// --- Entries ---

bool MenuEntry::SameShape(const MenuEntry& other) const {
  if (id != other.id || separator != other.separator || has_submenu != other.has_submenu ||
      children.size() != other.children.size()) {
    return false;
  }
  for (size_t i = 0; i < children.size(); ++i) {
    if (!children[i].SameShape(other.children[i])) return false;
  }
  return true;
}

bool MenuEntry::SameProperties(const MenuEntry& other) const {
  return label == other.label && enabled == other.enabled && visible == other.visible &&
         shortcut == other.shortcut;
}

// --- Numbers ---

MenuItemNumbers::~MenuItemNumbers() {
  for (auto& [number, item] : items_) objc::Release(item);
}

int32_t MenuItemNumbers::NumberOf(id item) {
  auto found = numbers_.find(item);
  if (found != numbers_.end()) return found->second;
  const int32_t number = next_++;
  items_[number] = objc::Retain(item);
  numbers_[item] = number;
  return number;
}

id MenuItemNumbers::ItemNumbered(int32_t number) const {
  auto found = items_.find(number);
  return found == items_.end() ? nil : found->second;
}

void MenuItemNumbers::KeepOnly(const std::vector<int32_t>& keep) {
  for (auto it = items_.begin(); it != items_.end();) {
    bool kept = false;
    for (int32_t number : keep) kept = kept || number == it->first;
    if (kept) {
      ++it;
      continue;
    }
    numbers_.erase(it->second);
    objc::Release(it->second);
    it = items_.erase(it);
  }
}

// --- Layout ---

MenuEntry MenuLayoutOf(id menu, MenuItemNumbers* numbers) {
  MenuEntry root;
  root.has_submenu = true;
  Fill(menu, 0, numbers, &root);
  return root;
}

std::vector<int32_t> MenuEntryIds(const MenuEntry& root) {
  std::vector<int32_t> ids;
  CollectIds(root, &ids);
  return ids;
}

const MenuEntry* FindMenuEntry(const MenuEntry& root, int32_t id) {
  if (root.id == id) return &root;
  for (const MenuEntry& child : root.children) {
    if (const MenuEntry* found = FindMenuEntry(child, id)) return found;
  }
  return nullptr;
}

// --- Labels and shortcuts ---

std::string DbusMenuLabel(const std::u16string& title) {
  std::u16string doubled;
  for (char16_t c : std::u16string_view(title).substr(0, title.find(u'\t'))) {
    if (c == u'_') doubled.push_back(u'_');
    doubled.push_back(c);
  }
  std::string label;
  foundation::EncodeText(doubled, foundation::TextEncoding::Utf8, 0, &label);
  return label;
}

std::string PlainMenuLabel(const std::string& label) {
  std::string plain;
  for (size_t c = 0; c < label.size(); ++c) {
    plain.push_back(label[c]);
    if (label[c] == '_' && c + 1 < label.size() && label[c + 1] == '_') ++c;
  }
  return plain;
}

std::vector<std::string> DbusMenuShortcut(const std::u16string& key, uint64_t modifier_mask) {
  Keysym keysym;
  if (key.size() != 1 || !KeysymForCharacter(key[0], &keysym)) return {};
  std::vector<std::string> shortcut;
  if (modifier_mask & kModifierControl) shortcut.emplace_back("Control");
  if (modifier_mask & kModifierOption) shortcut.emplace_back("Alt");
  if ((modifier_mask & kModifierShift) || keysym.shifted) shortcut.emplace_back("Shift");
  if (modifier_mask & kModifierCommand) shortcut.emplace_back("Super");
  shortcut.emplace_back(keysym.name);
  return shortcut;
}
