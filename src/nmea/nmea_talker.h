#pragma once
// Talkers and sentence types of standard NMEA sentences.
//
// A receiver names the system behind a sentence in its first two letters: GP for GPS, GL
// for GLONASS, GA for Galileo, GB or BD for BeiDou, GQ for QZSS, GN for a fix from several
// systems at once. Every such talker is read alike; only proprietary sentences (a 'P'
// followed by a maker's code) are not a talker and never count.

#include <string_view>

namespace trevalo {

inline bool IsNavigationTalker(char first, char second) {
  const auto upper = [](char c) { return c >= 'A' && c <= 'Z'; };
  return upper(first) && upper(second) && first != 'P';
}

// The text (after the '$') starts with a talker and the three letters of `type`.
inline bool HasSentenceType(std::string_view text, std::string_view type) {
  return text.size() >= 5 && IsNavigationTalker(text[0], text[1]) && text.substr(2, 3) == type;
}

}  // namespace trevalo
