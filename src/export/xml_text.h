#pragma once
// User texts (file names, comments, paths) put into generated XML, escaped for their place
// so that every document stays well formed whatever the texts contain. Characters XML 1.0
// does not allow at all (most control characters, unpaired surrogates) become U+FFFD.

#include <string>

#include <QString>

namespace trevalo {

// Element content: "&", "<" and ">" become "&amp;", "&lt;" and "&gt;".
std::string XmlContent(const QString& text);
// An attribute value in `quote` (' or "): the content escapes and the quote character.
std::string XmlAttribute(const QString& text, char quote);
// Text inside the HTML of a CDATA section (KML descriptions): the five HTML special
// characters become references, so no "]]>" can end the section early and an attribute
// in the HTML keeps its quotes.
std::string HtmlInCdata(const QString& text);

}  // namespace trevalo
