#pragma once
// The line under the photo page's steps that says which corrections are in force, so that a
// match the user did not expect can be explained.

#include <QString>

#include "library/match_settings.h"
#include "shell/language.h"

namespace trevalo {

// "+1 d 02:03:04": a span of seconds with its sign, days counted in the language's word.
QString SignedSpanText(std::int64_t seconds, const LanguageTexts& texts);

// The corrections in force, one sentence each; empty when none is.
QString CorrectionSummary(const MatchSettings& match, const LanguageTexts& texts);

}  // namespace trevalo
