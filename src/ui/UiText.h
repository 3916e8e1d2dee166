// Text passing between the core (8-bit std::string) and Qt.
#pragma once

#include <QString>
#include <string>

namespace tarq {

// Core texts are UTF-8; header files may bring other 8-bit text, shown as Latin-1 rather
// than as replacement characters.
QString ToQt(const std::string& text);
std::string FromQt(const QString& text);

// A caption for a plain label: "&&" becomes "&", a single "&" (a mnemonic mark) goes.
QString CaptionText(const std::string& caption);
// Control text with <A HREF> links for a rich-text label; line breaks become <br>.
QString LinkMarkup(const std::string& markup);
// The text of the first anchor of `markup` whose target is `href`, without tags.
std::string AnchorText(const std::string& markup, const std::string& href);

}  // namespace tarq
