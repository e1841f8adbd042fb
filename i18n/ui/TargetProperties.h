#pragma once
// The list of (class, property) pairs a translator translates, and its stored form.
//
// Stored form ("TargetsData"), as a value list: the integer 1 (version), the integer count,
// then per entry a list [class name, property name, kind]. An empty name is stored as "*".
// The older form ("Data", read only) is [count, class, property, class, property, ...], all
// includes.
#include <QString>
#include <QVariantList>

#include <vector>

namespace vx::i18n {

enum class TargetKind : int { Include = 0, Exclude = 1 };

struct TIvTargetProperty {
  QString className;     // empty: any class
  QString propertyName;  // empty: every property of the class
  TargetKind kind = TargetKind::Include;

  bool operator==(const TIvTargetProperty&) const = default;
};

class TIvTargetProperties {
 public:
  void add(const QString& className, const QString& propertyName, TargetKind kind = TargetKind::Include);
  void clear();
  bool isEmpty() const { return entries_.empty(); }
  int count() const { return int(entries_.size()); }
  int excludeCount() const { return excludes_; }
  const std::vector<TIvTargetProperty>& entries() const { return entries_; }

  // Whether the property of an object of this class (its own class name, not an ancestor's)
  // is translated. Names compare without regard to case.
  bool accepts(const QString& className, const QString& propertyName) const;

  QVariantList write() const;
  // Replaces the entries; drops exact duplicates. Throws EIvMulti for an unknown version and
  // for a list that is not in the stored form.
  void read(const QVariantList& data);
  void readOldData(const QVariantList& data);

 private:
  void addRead(const TIvTargetProperty& e);

  std::vector<TIvTargetProperty> entries_;
  int excludes_ = 0;
};

// The main window's targets.
TIvTargetProperties mainWindowTargets();

}  // namespace vx::i18n
