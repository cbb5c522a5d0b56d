#pragma once
// Settings the program keeps on its own (the window layout, column widths, the folders last
// used) are written as the user works, many times a session. When the settings file cannot
// be written the user is told once, with why, rather than at every column drag; settings the
// user changes on purpose are told at the time by the page that changes them.

class QWidget;

namespace trevalo {

class LanguageTexts;
class Settings;

// From now on the first settings write of the session that fails, among those whose caller
// does not tell it, shows a warning over `window` (as soon as the event loop runs, so that
// none comes up while the window goes away). `texts` is read then and must live as long.
void WarnOnceWhenSettingsAreNotKept(Settings& settings, const LanguageTexts& texts,
                                    QWidget* window);

}  // namespace trevalo
