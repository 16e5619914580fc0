#pragma once

#include "platform/user_prompts.h"

#include <QString>

// Where users reach Pellido Software: the web and mail addresses of the Help menu's "Contact
// Pellido Software" entries and of the About box. They are fixed when the program is built
// (the KAVRIN32_WEB_ADDRESS and KAVRIN32_MAIL_ADDRESS cache variables); an address the build
// left empty has no entry and no label.
QString webAddress();
QString mailAddress();

// Open the address with the desktop's default browser or mail program. When there is none,
// a message box says so and shows the address, so it can still be used by hand.
void openWebAddress(UserPrompts& prompts);
void openMailAddress(UserPrompts& prompts);
