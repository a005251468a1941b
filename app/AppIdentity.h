#pragma once

// Who the program is: its names, its version and where its settings are kept.

#include "dialogs/Prompts.h" // APP_TITLE, the window's title

constexpr const char *APP_NAME = "tarvex-collector";
// The organisation under which the settings (the recent-file list) are kept.
constexpr const char *APP_PROFILE_KEY = "Local AppWizard-Generated Applications";

// The version of the build, e.g. "0.1.0".
const char *AppVersion();

// Gives the running application its name, display name, version and organisation.
void SetApplicationIdentity();
