#include "i18n/ui/TargetProperties.h"

#include "i18n/ui/TranslationSource.h"

namespace vx::i18n {

namespace {

bool matches(const TIvTargetProperty& e, const QString& cls, const QString& prop) {
  const bool classAny = e.className.isEmpty() || e.className.compare(cls, Qt::CaseInsensitive) == 0;
  if (classAny && e.propertyName.compare(prop, Qt::CaseInsensitive) == 0 && !e.propertyName.isEmpty()) return true;
  return !e.className.isEmpty() && e.className.compare(cls, Qt::CaseInsensitive) == 0 && e.propertyName.isEmpty();
}

QString stored(const QString& s) { return s.isEmpty() ? QStringLiteral("*") : s; }
QString unstored(const QString& s) { return s == QLatin1String("*") ? QString() : s; }

int toInt(const QVariant& v, const char* what) {
  bool ok = false;
  const int n = v.toInt(&ok);
  if (!ok || !v.isValid()) throw EIvMulti(QStringLiteral("Invalid target properties data: %1").arg(what));
  return n;
}

}  // namespace

void TIvTargetProperties::add(const QString& className, const QString& propertyName, TargetKind kind) {
  entries_.push_back({className, propertyName, kind});
  if (kind == TargetKind::Exclude) ++excludes_;
}

void TIvTargetProperties::clear() {
  entries_.clear();
  excludes_ = 0;
}

bool TIvTargetProperties::accepts(const QString& className, const QString& propertyName) const {
  if (excludes_ > 0)
    for (const auto& e : entries_)
      if (e.kind == TargetKind::Exclude && matches(e, className, propertyName)) return false;
  for (const auto& e : entries_)
    if (e.kind == TargetKind::Include && matches(e, className, propertyName)) return true;
  return false;
}

QVariantList TIvTargetProperties::write() const {
  QVariantList out{1, count()};
  for (const auto& e : entries_)
    out.append(QVariant(QVariantList{stored(e.className), stored(e.propertyName), int(e.kind)}));
  return out;
}

void TIvTargetProperties::addRead(const TIvTargetProperty& e) {
  for (const auto& have : entries_)
    if (have == e) return;  // QString == is case-sensitive
  add(e.className, e.propertyName, e.kind);
}

void TIvTargetProperties::read(const QVariantList& data) {
  if (data.size() < 2) throw EIvMulti(QStringLiteral("Invalid target properties data: too short"));
  const int version = toInt(data[0], "version");
  if (version > 1) throw EIvMulti({vx::MessagePart::piece("Unknown target properties data version: "),
                                    vx::MessagePart::value(std::to_string(version))});
  const int n = toInt(data[1], "count");
  if (n < 0 || n > data.size() - 2) throw EIvMulti(QStringLiteral("Invalid target properties data: count"));
  std::vector<TIvTargetProperty> read;
  for (int i = 0; i < n; ++i) {
    const QVariantList e = data[2 + i].toList();
    if (e.size() != 3) throw EIvMulti(QStringLiteral("Invalid target properties data: entry"));
    const int kind = toInt(e[2], "kind");
    if (kind != 0 && kind != 1) throw EIvMulti(QStringLiteral("Invalid target properties data: kind"));
    read.push_back({unstored(e[0].toString()), unstored(e[1].toString()), TargetKind(kind)});
  }
  // Only a list read whole replaces the entries.
  clear();
  for (const auto& e : read) addRead(e);
}

void TIvTargetProperties::readOldData(const QVariantList& data) {
  if (data.isEmpty()) throw EIvMulti(QStringLiteral("Invalid target properties data: too short"));
  const int n = toInt(data[0], "count");
  if (n < 0 || qsizetype(n) * 2 > data.size() - 1) throw EIvMulti(QStringLiteral("Invalid target properties data: count"));
  std::vector<TIvTargetProperty> read;
  for (int i = 0; i < n; ++i)
    read.push_back({unstored(data[1 + 2 * i].toString()), unstored(data[2 + 2 * i].toString()), TargetKind::Include});
  clear();
  for (const auto& e : read) addRead(e);
}

TIvTargetProperties mainWindowTargets() {
  TIvTargetProperties t;
  for (const char* p : {"Hint", "Caption", "Text", "SimpleText", "Lines", "Filter", "Title"})
    t.add(QString(), QString::fromLatin1(p));
  return t;
}

}  // namespace vx::i18n
