#pragma once
// The program's string table: every message text has a numeric id and its design-language
// text. loadResString() is the one way texts are fetched, so that the dictionary can route
// every message through translation by installing a translator.
#include <QString>
#include <QStringList>

#include <functional>
#include <vector>

namespace vx::res {

// Registers the design-language text of an id (done once, at start, by each module).
void registerString(int id, const QString& text);

// The text of an id, translated when a translator is installed; an unknown id gives an
// empty string.
QString loadResString(int id);

// The design-language text, never translated.
QString nativeString(int id);

// The ids registered so far, in ascending order.
std::vector<int> registeredIds();

// Fills the placeholders of a message text in order: each %s, %d, %f (with any flags, width
// and precision between, such as %.4f) takes the next of `args`, already formatted by the
// caller; "%%" is one "%". A placeholder without an argument is left as it stands and surplus
// arguments are ignored, so a translated text with other placeholders never reads past the
// arguments.
QString formatMessage(const QString& text, const QStringList& args);

// Installs the translation of the string table (nullptr: none). The translator gets the id
// and the design text and returns the text to show.
using Translator = std::function<QString(int id, const QString& nativeText)>;
void setTranslator(Translator translator);

}  // namespace vx::res
