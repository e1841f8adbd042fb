#include "platform/ResourceStrings.h"

#include <map>

namespace vx::res {

namespace {
std::map<int, QString>& table() {
  static std::map<int, QString> t;
  return t;
}
Translator& translator() {
  static Translator t;
  return t;
}
}  // namespace

void registerString(int id, const QString& text) { table()[id] = text; }

QString nativeString(int id) {
  auto it = table().find(id);
  return it == table().end() ? QString() : it->second;
}

QString loadResString(int id) {
  QString text = nativeString(id);
  if (translator()) return translator()(id, text);
  return text;
}

void setTranslator(Translator t) { translator() = std::move(t); }

}  // namespace vx::res
