#pragma once
// The program's string table: every message text has a numeric id and its design-language
// text. loadResString() is the one way texts are fetched, so that the dictionary can route
// every message through translation by installing a translator.
#include <QString>

#include <functional>

namespace vx::res {

// Registers the design-language text of an id (done once, at start, by each module).
void registerString(int id, const QString& text);

// The text of an id, translated when a translator is installed; an unknown id gives an
// empty string.
QString loadResString(int id);

// The design-language text, never translated.
QString nativeString(int id);

// Installs the translation of the string table (nullptr: none). The translator gets the id
// and the design text and returns the text to show.
using Translator = std::function<QString(int id, const QString& nativeText)>;
void setTranslator(Translator translator);

}  // namespace vx::res
