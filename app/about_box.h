// The about box: the application's name, version, description and credit line.
#pragma once

// Shows the about box modally; "See My Other Apps" opens the maker's page of other
// applications with the "Open" program, "Ok" (the default) just closes it. The caller locks
// the menu and activates the application before, and restores the menu after.
void ShowAboutBox();
