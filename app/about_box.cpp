// The about box (ShowAboutBox).
#include "app/about_box.h"

#include "app/note_alert.h"
#include "core/process.h"

namespace {

constexpr char16_t kAboutTitle[] = u"Mindel 1.06\n(for Apple Silicon)";
constexpr char16_t kAboutText[] =
    u"\nA single task reminder app made with great angst\n\r"
    u"\u00A9 Quorv (December 2026)"
    u"\n"
    u"hello@quorv.com"
    u"\n";
constexpr char16_t kOtherAppsButton[] = u"See My Other Apps";  // button 1
constexpr char16_t kOkButton[] = u"Ok";                        // button 2, the default
constexpr char16_t kOtherAppsPage[] = u"https://quorv.com/apps/";

}  // namespace

void ShowAboutBox() {
  if (ShowNoteAlert(kAboutTitle, kAboutText, 2, kOtherAppsButton, kOkButton) == 1) {
    // Found through PATH and started detached; a page that cannot be opened goes unnoticed.
    LaunchProgram(u"Open", kOtherAppsPage, u"");
  }
}
