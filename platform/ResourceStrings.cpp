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

std::vector<int> registeredIds() {
  std::vector<int> ids;
  for (const auto& entry : table()) ids.push_back(entry.first);
  return ids;
}

QString loadResString(int id) {
  QString text = nativeString(id);
  if (translator()) return translator()(id, text);
  return text;
}

QString formatMessage(const QString& text, const QStringList& args) {
  QString out;
  qsizetype next = 0;
  for (qsizetype i = 0; i < text.size(); ++i) {
    if (text[i] != '%' || i + 1 >= text.size()) {
      out += text[i];
      continue;
    }
    if (text[i + 1] == '%') {
      out += '%';
      ++i;
      continue;
    }
    qsizetype j = i + 1;
    while (j < text.size() && QString("-+ #0123456789.").contains(text[j])) ++j;
    if (j < text.size() && QString("sdfu").contains(text[j]) && next < args.size()) {
      out += args[next++];
      i = j;
    } else {
      out += text[i];
    }
  }
  return out;
}

void setTranslator(Translator t) { translator() = std::move(t); }

}  // namespace vx::res
