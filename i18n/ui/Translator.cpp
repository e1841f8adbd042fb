#include "i18n/ui/Translator.h"

#include <QAbstractButton>
#include <QAbstractScrollArea>
#include <QAbstractSpinBox>
#include <QAction>
#include <QComboBox>
#include <QGroupBox>
#include <QTabWidget>
#include <QLabel>
#include <QLayout>
#include <QLineEdit>
#include <QListWidget>
#include <QMainWindow>
#include <QMenu>
#include <QMetaProperty>
#include <QPlainTextEdit>
#include <QStatusBar>

#include <algorithm>
#include <set>

namespace vx::i18n {

namespace {

const char* const kClassNameProperty = "VXClassName";

bool isMenuItem(const QObject* o) { return qobject_cast<const QAction*>(o) || qobject_cast<const QMenu*>(o); }

// A menu's own action carries the menu's title: the menu is translated, not its action.
bool isMenuAction(const QObject* o) {
  const auto* a = qobject_cast<const QAction*>(o);
  const auto* m = a ? qobject_cast<const QMenu*>(a->parent()) : nullptr;
  return m && m->menuAction() == a;
}

QString removeFirstAmp(const QString& s, bool* had = nullptr) {
  const qsizetype i = s.indexOf(QLatin1Char('&'));
  if (had) *had = i >= 0;
  if (i < 0) return s;
  QString r = s;
  r.remove(i, 1);
  return r;
}

// ---- The adapter table: the program's property names on Qt's objects ----------------

struct TextAdapter {
  const char* name;
  bool (*applies)(QObject* o, bool isRoot);
  QString (*get)(QObject* o);
  void (*set)(QObject* o, const QString& v);
};

template <class T>
T* as(QObject* o) {
  return qobject_cast<T*>(o);
}

// The tab widget whose page `o` is (a page's parent is the tab widget's stack), or nullptr.
QTabWidget* tabOf(QObject* o) {
  if (!o->isWidgetType() || !o->parent() || !o->parent()->parent()) return nullptr;
  auto* tabs = qobject_cast<QTabWidget*>(o->parent()->parent());
  return tabs && tabs->indexOf(static_cast<QWidget*>(o)) >= 0 ? tabs : nullptr;
}

const TextAdapter kTextAdapters[] = {
    {"Caption", [](QObject* o, bool root) { return root && o->isWidgetType(); },
     [](QObject* o) { return as<QWidget>(o)->windowTitle(); },
     [](QObject* o, const QString& v) { as<QWidget>(o)->setWindowTitle(v); }},
    {"Caption", [](QObject* o, bool root) { return !root && as<QLabel>(o) != nullptr; },
     [](QObject* o) { return as<QLabel>(o)->text(); },
     [](QObject* o, const QString& v) { as<QLabel>(o)->setText(v); }},
    {"Caption", [](QObject* o, bool root) { return !root && as<QAbstractButton>(o) != nullptr; },
     [](QObject* o) { return as<QAbstractButton>(o)->text(); },
     [](QObject* o, const QString& v) { as<QAbstractButton>(o)->setText(v); }},
    {"Caption", [](QObject* o, bool root) { return !root && as<QGroupBox>(o) != nullptr; },
     [](QObject* o) { return as<QGroupBox>(o)->title(); },
     [](QObject* o, const QString& v) { as<QGroupBox>(o)->setTitle(v); }},
    {"Caption", [](QObject* o, bool root) { return !root && tabOf(o) != nullptr; },
     [](QObject* o) { return tabOf(o)->tabText(tabOf(o)->indexOf(static_cast<QWidget*>(o))); },
     [](QObject* o, const QString& v) { tabOf(o)->setTabText(tabOf(o)->indexOf(static_cast<QWidget*>(o)), v); }},
    {"Caption", [](QObject* o, bool) { return as<QAction>(o) != nullptr; },
     [](QObject* o) { return as<QAction>(o)->text(); },
     [](QObject* o, const QString& v) { as<QAction>(o)->setText(v); }},
    {"Caption", [](QObject* o, bool) { return as<QMenu>(o) != nullptr; },
     [](QObject* o) { return as<QMenu>(o)->title(); },
     [](QObject* o, const QString& v) { as<QMenu>(o)->setTitle(v); }},
    {"Hint", [](QObject* o, bool) { return o->isWidgetType() && !as<QMenu>(o); },
     [](QObject* o) { return as<QWidget>(o)->toolTip(); },
     [](QObject* o, const QString& v) { as<QWidget>(o)->setToolTip(v); }},
    // A menu item's hint is the text the status bar shows for it.
    {"Hint", [](QObject* o, bool) { return as<QAction>(o) != nullptr; },
     [](QObject* o) { return as<QAction>(o)->statusTip(); },
     [](QObject* o, const QString& v) { as<QAction>(o)->setStatusTip(v); }},
    {"Hint", [](QObject* o, bool) { return as<QMenu>(o) != nullptr; },
     [](QObject* o) { return as<QMenu>(o)->menuAction()->statusTip(); },
     [](QObject* o, const QString& v) { as<QMenu>(o)->menuAction()->setStatusTip(v); }},
    {"Text", [](QObject* o, bool) { return as<QLineEdit>(o) != nullptr; },
     [](QObject* o) { return as<QLineEdit>(o)->text(); },
     [](QObject* o, const QString& v) { as<QLineEdit>(o)->setText(v); }},
    {"SimpleText", [](QObject* o, bool) { return as<QStatusBar>(o) != nullptr; },
     [](QObject* o) { return as<QStatusBar>(o)->currentMessage(); },
     [](QObject* o, const QString& v) { as<QStatusBar>(o)->showMessage(v); }},
};

// Names the adapters cover; a Q_PROPERTY or dynamic property of the same name is not walked
// a second time.
bool adapterName(const QString& name) {
  for (const char* n : {"Caption", "Hint", "Text", "SimpleText", "Lines", "Items"})
    if (name.compare(QLatin1String(n), Qt::CaseInsensitive) == 0) return true;
  return false;
}

// The string and string-list properties of the object itself: Q_PROPERTYs named as the
// program names them (a capital first letter) with read and write access, and dynamic
// properties.
struct OwnProperty {
  QString name;
  bool list;
};

std::vector<OwnProperty> ownProperties(const QObject* o) {
  std::vector<OwnProperty> out;
  const QMetaObject* mo = o->metaObject();
  for (int i = 0; i < mo->propertyCount(); ++i) {
    const QMetaProperty p = mo->property(i);
    const QString name = QString::fromLatin1(p.name());
    if (name.isEmpty() || !name[0].isUpper() || !p.isReadable() || !p.isWritable()) continue;
    const int type = p.metaType().id();
    if (type == QMetaType::QString || type == QMetaType::QStringList) out.push_back({name, type == QMetaType::QStringList});
  }
  for (const QByteArray& n : o->dynamicPropertyNames()) {
    if (n.startsWith("_q_") || n == kClassNameProperty) continue;
    const int type = o->property(n.constData()).metaType().id();
    if (type == QMetaType::QString || type == QMetaType::QStringList)
      out.push_back({QString::fromLatin1(n), type == QMetaType::QStringList});
  }
  return out;
}

bool hasLinesProperty(const QObject* o) {
  const int i = o->metaObject()->indexOfProperty("Lines");
  return i >= 0 && o->metaObject()->property(i).metaType().id() == QMetaType::QStringList;
}

// Children the walk leaves alone: other windows, and the parts Qt builds inside its own
// widgets (a combo box's editor and popup, a scroll area's bars, objects named "qt_..." other
// than the two that hold the program's controls).
bool walked(const QObject* child) {
  if (qobject_cast<const TIvCustomTranslator*>(child)) return false;
  if (const auto* w = qobject_cast<const QWidget*>(child)) {
    const Qt::WindowType t = w->windowType();
    if (t == Qt::Window || t == Qt::Dialog || t == Qt::Sheet || t == Qt::Drawer || t == Qt::Tool) return false;
  }
  const QString name = child->objectName();
  // Two of Qt's own parts hold the program's controls: a scroll area's viewport and a tab
  // widget's stack of pages.
  if (name.startsWith(QLatin1String("qt_")) && name != QLatin1String("qt_scrollarea_viewport") &&
      name != QLatin1String("qt_tabwidget_stackedwidget"))
    return false;
  const QObject* parent = child->parent();
  if (qobject_cast<const QComboBox*>(parent) || qobject_cast<const QAbstractSpinBox*>(parent)) return false;
  return true;
}

bool inLayout(const QLayout* layout, const QWidget* w) {
  if (!layout) return false;
  for (int i = 0; i < layout->count(); ++i) {
    QLayoutItem* item = layout->itemAt(i);
    if (item->widget() == w) return true;
    if (inLayout(item->layout(), w)) return true;
  }
  return false;
}

// A control the program placed at a position of its own, not one a layout or its Qt parent
// places: only such controls are moved when the form is mirrored; Qt mirrors the others
// from the layout direction.
bool absolutelyPlaced(const QWidget* w) {
  const QWidget* parent = w->parentWidget();
  if (!parent || w->isWindow()) return false;
  if (w->objectName().isEmpty() || w->objectName().startsWith(QLatin1String("qt_"))) return false;
  if (qobject_cast<const QMainWindow*>(parent) || qobject_cast<const QAbstractScrollArea*>(parent) ||
      qobject_cast<const QStatusBar*>(parent))
    return false;
  if (parent->objectName() == QLatin1String("qt_scrollarea_viewport")) return true;
  return !inLayout(parent->layout(), w);
}

}  // namespace

QString vxClassName(const QObject* object) {
  const QVariant v = object->property(kClassNameProperty);
  if (v.isValid() && !v.toString().isEmpty()) return v.toString();
  return QString::fromLatin1(object->metaObject()->className());
}

// ---- TIvCustomTranslator -------------------------------------------------------------

TIvCustomTranslator::TIvCustomTranslator(QObject* owner) : QObject(owner) {}

TIvCustomTranslator::~TIvCustomTranslator() { unlink(); }

void TIvCustomTranslator::link(TranslationSource* source) {
  if (source == dictionary_) return;
  unlink();
  dictionary_ = source;
  if (source) {
    source->addLink(this);
    dictionaryName_ = source->name();
  }
}

void TIvCustomTranslator::unlink() {
  if (!dictionary_) return;
  dictionary_->removeTranslator(this);
  dictionary_->removeLink(this);
  dictionary_ = nullptr;
}

void TIvCustomTranslator::setDictionaryName(const QString& name) {
  if (name == dictionaryName_) return;
  TranslationSource* source = TranslationSource::find(name);
  if (source != dictionary_) {
    if (isOpened()) Revert();
    unlink();
    link(source);
  }
  dictionaryName_ = name;
}

void TIvCustomTranslator::DictionaryChanged(bool languageChanged, bool localeChanged) {
  if (languageChanged) emit languageChange();
  if (localeChanged) emit localeChange();
}

void TIvCustomTranslator::Close() {
  unlink();
  state_ = 0;
}

void TIvCustomTranslator::Revert() {
  if (!isOpened()) return;
  unlink();
  state_ = 0;
  TranslateAll();
  Close();
}

void TIvCustomTranslator::sourceDestroyed(TranslationSource* source) {
  if (source != dictionary_) return;
  Close();
}

// ---- TIvTranslator -------------------------------------------------------------------

TIvTranslator::TIvTranslator(QObject* owner) : TIvCustomTranslator(owner) {}

TIvTranslator::~TIvTranslator() { Close(); }

QObject* TIvTranslator::Root() const { return rootOverride_ ? rootOverride_.data() : parent(); }

QWidget* TIvTranslator::rootWindow() const {
  auto* w = qobject_cast<QWidget*>(Root());
  return w ? w->window() : nullptr;
}

void TIvTranslator::Loaded() {
  if ((options_ & ivtoAutoOpen) && (dictionary_ || TranslationSource::first())) Open();
}

void TIvTranslator::Open() {
  if (isOpened()) {
    TranslateAll();
    return;
  }
  if (!dictionary_) {
    if (!TranslationSource::first()) {
      const QObject* root = Root();
      throw EIvMulti(vx::formatParts("No dictionary has been assigned to the translator component (%s on \"%s\" form)",
                                     {objectName().toStdString(), root ? root->objectName().toStdString() : std::string()}));
    }
    TranslationSource* named = TranslationSource::find(dictionaryName_);
    link(named ? named : TranslationSource::first());
  }
  if (!dictionary_->enabled()) return;
  if (!dictionary_->isDataAvailable() || targets_.isEmpty()) return;
  if (!dictionary_->isOpen()) dictionary_->open();
  if (!haveDesignFont_)
    if (auto* w = qobject_cast<QWidget*>(Root()); w && w->isWindow()) {
      designFont_ = w->font();
      haveDesignFont_ = true;
    }
  if (!rootOverride_) rootOverride_ = parent();
  TranslateAll();
  TIvCustomTranslator::DictionaryChanged(true, true);
  // The dictionary may have gone while the events ran.
  if (!dictionary_) return;
  dictionary_->addTranslator(this);
  state_ |= Opened;
}

void TIvTranslator::DictionaryChanged(bool languageChanged, bool localeChanged) {
  if (isOpened() && (options_ & ivtoAutoTranslate)) Open();
  TIvCustomTranslator::DictionaryChanged(languageChanged, localeChanged);
}

void TIvTranslator::Close() {
  TIvCustomTranslator::Close();
  table_.clear();
  rootOverride_.clear();
}

void TIvTranslator::TranslateRootComponent(QObject* component) {
  rootOverride_ = component;
  Open();
}

void TIvTranslator::RestoreNative() {
  // The native texts come back through the table. The shared dictionary keeps its language:
  // switching it would translate every other form of the program as well.
  if (!dictionary_) return;
  TranslationSource* d = dictionary_;
  const unsigned keep = state_;
  dictionary_ = nullptr;
  TranslateAll();
  dictionary_ = d;
  state_ = keep;
  if (haveDesignFont_)
    if (auto* w = qobject_cast<QWidget*>(Root()); w && w->isWindow()) w->setFont(designFont_);
  Close();
}

void TIvTranslator::TranslateAll() {
  QObject* root = Root();
  if (!root) return;
  visited_.clear();
  currentLayout_ = dictionary_ && dictionary_->languageInfo().bidirectional() ? TIvReadingOrder::ivroRightToLeft
                                                                              : TIvReadingOrder::ivroLeftToRight;
  emit beforeTranslate();
  auto* rootWidget = qobject_cast<QWidget*>(root);
  if (dictionary_ && (options_ & ivtoCheckFont) && rootWidget && rootWidget->isWindow()) UpdateFont();
  else if (!dictionary_ && haveDesignFont_ && rootWidget && rootWidget->isWindow())
    rootWidget->setFont(designFont_);  // back in the design language, back in its font
  // Qt computes a menu's accelerators from its texts as they are: nothing to switch off.
  TranslateComponent(root, true);
  if (options_ & ivtoTranslateSystemMenu) TranslateSystemMenu();

  if (dictionary_ && (options_ & ivtoScaleMultiByte) && multiByteScale_ != 100 && multiByteScale_ > 0 && rootWidget) {
    const bool multiByte = dictionary_->languageInfo().multiByte();
    if (multiByte && !(state_ & Scaled)) {
      scaleRoot(rootWidget, true);
      state_ |= Scaled;
      emit scaled(root);
    } else if (!multiByte && (state_ & Scaled)) {
      scaleRoot(rootWidget, false);
      state_ &= ~unsigned(Scaled);
      emit scaled(root);
    }
  }

  if (options_ & ivtoMirrorBiDirectional) {
    const bool mirrored = currentLayout_ != nativeLayout_;
    const bool was = (state_ & Mirrored) != 0;
    if (mirrored) state_ |= Mirrored;
    else state_ &= ~unsigned(Mirrored);
    if (rootWidget && mirrored != was) {
      const Qt::LayoutDirection d =
          currentLayout_ == TIvReadingOrder::ivroRightToLeft ? Qt::RightToLeft : Qt::LeftToRight;
      rootWidget->setLayoutDirection(d);
      // Menus are windows of their own and do not take the direction from the form.
      for (QMenu* m : rootWidget->findChildren<QMenu*>()) m->setLayoutDirection(d);
    }
  }
  emit afterTranslate();
}

void TIvTranslator::TranslateSystemMenu() {
  // Nothing to do: see the header.
}

void TIvTranslator::TranslateComponent(QObject* component, bool isRoot) {
  // Owned components first; a child may be deleted while its siblings are translated.
  QList<QPointer<QObject>> children;
  for (QObject* c : component->children())
    if (walked(c)) children.append(c);
  for (const QPointer<QObject>& c : children)
    if (c) TranslateComponent(c, false);

  TranslateObject(component);
  TranslateSpecial(component);

  if (options_ & ivtoMirrorBiDirectional)
    if (auto* w = qobject_cast<QWidget*>(component)) {
      BidiState& s = bidiState(w);
      if (isRoot) s.layout = currentLayout_;
      else if (currentLayout_ == nativeLayout_) UnmirrorControl(w);
      else MirrorControl(w);
    }
  emit translated(component);
  if (auto* w = qobject_cast<QWidget*>(component)) w->update();
}

void TIvTranslator::TranslateObject(QObject* object) {
  if (qobject_cast<TIvCustomTranslator*>(object)) return;
  if (std::find(visited_.begin(), visited_.end(), object) != visited_.end()) return;
  visited_.push_back(object);
  if (isMenuAction(object)) return;

  const bool isRoot = object == Root();
  const QString cls = vxClassName(object);
  for (const TextAdapter& a : kTextAdapters) {
    const QString name = QString::fromLatin1(a.name);
    if (!a.applies(object, isRoot) || !targets_.accepts(cls, name)) continue;
    const QString value = a.get(object);
    const QString result = translateText(object, name, value);
    if (result != value) a.set(object, result);
  }
  for (const char* listName : {"Lines", "Items"}) {
    const QString name = QString::fromLatin1(listName);
    if (targets_.accepts(cls, name)) translateList(object, name);
  }
  // An integer "locale" property follows the language's locale when asked to, or while the
  // reading order changes.
  const bool bidiLanguage = dictionary_ && dictionary_->languageInfo().bidirectional();
  if ((options_ & ivtoUpdateLocaleProperty) || ((state_ & Mirrored) != 0) != bidiLanguage)
    updateLocaleProperty(object);
  for (const OwnProperty& p : ownProperties(object)) {
    if (adapterName(p.name) || p.name.compare(QLatin1String("name"), Qt::CaseInsensitive) == 0) continue;
    if (!targets_.accepts(cls, p.name)) continue;
    const QByteArray n = p.name.toLatin1();
    if (p.list) {
      QStringList lines = object->property(n.constData()).toStringList();
      bool changed = false;
      for (QString& line : lines) {
        const QString t = translateText(object, p.name, line);
        changed = changed || t != line;
        line = t;
      }
      if (changed) object->setProperty(n.constData(), lines);
    } else {
      const QString value = object->property(n.constData()).toString();
      const QString result = translateText(object, p.name, value);
      if (result != value) object->setProperty(n.constData(), result);
    }
  }
}

void TIvTranslator::updateLocaleProperty(QObject* object) {
  const int locale = dictionary_ ? int(dictionary_->languageInfo().localeId) : 0;
  const QMetaObject* mo = object->metaObject();
  for (int i = 0; i < mo->propertyCount(); ++i) {
    const QMetaProperty p = mo->property(i);
    if (QLatin1String(p.name()).compare(QLatin1String("locale"), Qt::CaseInsensitive) == 0 && p.isWritable() &&
        p.metaType().id() == QMetaType::Int)
      p.write(object, locale);
  }
  for (const QByteArray& n : object->dynamicPropertyNames())
    if (QLatin1String(n).compare(QLatin1String("locale"), Qt::CaseInsensitive) == 0 &&
        object->property(n.constData()).metaType().id() == QMetaType::Int)
      object->setProperty(n.constData(), locale);
}

void TIvTranslator::translateList(QObject* object, const QString& property) {
  if (property == QLatin1String("Items")) {
    if (auto* combo = qobject_cast<QComboBox*>(object)) {
      if (combo->isHidden()) return;
      const int current = combo->currentIndex();
      const QString editText = combo->isEditable() ? combo->currentText() : QString();
      for (int i = 0; i < combo->count(); ++i) {
        const QString value = combo->itemText(i);
        const QString t = translateText(object, property, value);
        if (t != value) combo->setItemText(i, t);
      }
      combo->setCurrentIndex(current);
      if (combo->isEditable() && current < 0) combo->setEditText(editText);
      return;
    }
    if (auto* list = qobject_cast<QListWidget*>(object)) {
      QListWidgetItem* current = list->currentItem();
      std::set<QListWidgetItem*> selected;
      for (QListWidgetItem* item : list->selectedItems()) selected.insert(item);
      const bool sorted = list->isSortingEnabled();
      const QSignalBlocker block(list);
      list->setSortingEnabled(false);
      for (int i = 0; i < list->count(); ++i) {
        QListWidgetItem* item = list->item(i);
        const QString t = translateText(object, property, item->text());
        if (t != item->text()) item->setText(t);
      }
      list->setSortingEnabled(sorted);  // sorts again
      list->setCurrentItem(current, QItemSelectionModel::NoUpdate);
      for (int i = 0; i < list->count(); ++i) list->item(i)->setSelected(selected.count(list->item(i)) > 0);
    }
    return;
  }
  // "Lines": a memo's lines.
  if (hasLinesProperty(object)) {
    QStringList lines = object->property("Lines").toStringList();
    bool changed = false;
    for (QString& line : lines) {
      const QString t = translateText(object, property, line);
      changed = changed || t != line;
      line = t;
    }
    if (changed) object->setProperty("Lines", lines);
  } else if (auto* edit = qobject_cast<QPlainTextEdit*>(object)) {
    QStringList lines = edit->toPlainText().split(QLatin1Char('\n'));
    bool changed = false;
    for (QString& line : lines) {
      const QString t = translateText(object, property, line);
      changed = changed || t != line;
      line = t;
    }
    if (changed) edit->setPlainText(lines.join(QLatin1Char('\n')));
  }
}

void TIvTranslator::TranslateSpecial(QObject* control) {
  auto* memo = qobject_cast<QPlainTextEdit*>(control);
  if (!memo || !targets_.accepts(vxClassName(control), QStringLiteral("Text"))) return;
  QString text = hasLinesProperty(memo) ? memo->property("Lines").toStringList().join(QLatin1Char('\n'))
                                        : memo->toPlainText();
  while (text.endsWith(QLatin1Char('\n')) || text.endsWith(QLatin1Char('\r'))) text.chop(1);
  const QString result = translateText(control, QStringLiteral("Text"), text);
  if (result == text) return;
  if (hasLinesProperty(memo)) memo->setProperty("Lines", result.split(QLatin1Char('\n')));
  else memo->setPlainText(result);
}

QString TIvTranslator::translateText(QObject* object, const QString& property, const QString& value) {
  if (value.isEmpty()) return value;
  const bool menu = isMenuItem(object);
  bool hadAmp = false;
  const QString stripped = menu ? removeFirstAmp(value, &hadAmp) : value;
  for (TableItem& row : table_) {
    if (row.object != object || row.propertyName != property || row.currentText != stripped) continue;
    const QString result = lookup(object, row.nativeText, row.nativeStripped, row.nativeText != row.nativeStripped);
    row.currentText = menu ? removeFirstAmp(result) : result;
    return result;
  }
  const QString result = lookup(object, value, stripped, hadAmp);
  const QString componentName = object == Root() ? QString() : object->objectName();
  table_.push_back({object, componentName, property, value, stripped, menu ? removeFirstAmp(result) : result});
  return result;
}

QString TIvTranslator::lookup(QObject* object, const QString& native, const QString& stripped, bool hadAmp) {
  if (!dictionary_) return native;
  QString t;
  const Found found = find(object, native, stripped, hadAmp, t);
  if (dictionary_->hasContextFields()) {
    if (found == Found::InContext) return dictionary_->applyMissingPolicy(native, true, t);
    if (found == Found::WithoutContext) return t.isEmpty() ? native : t;
    return native;
  }
  return dictionary_->applyMissingPolicy(native, found != Found::Nowhere, t);
}

bool TIvTranslator::hasTranslation(const TableItem& row, QString& text) const {
  text.clear();
  if (!dictionary_ || !row.object) return false;
  return find(row.object, row.nativeText, row.nativeStripped, row.nativeText != row.nativeStripped, text) !=
             Found::Nowhere &&
         !text.isEmpty();
}

TIvTranslator::Found TIvTranslator::find(const QObject* object, const QString& native, const QString& stripped,
                                         bool hadAmp, QString& t) const {
  if (dictionary_->hasContextFields()) {
    const QString component = object == Root() ? QString() : object->objectName();
    // The form's class as the program knows it, then its own ancestors (not Qt's classes).
    QStringList contexts;
    if (QObject* root = Root()) {
      contexts << vxClassName(root);
      for (const QMetaObject* mo = root->metaObject(); mo; mo = mo->superClass()) {
        const QString n = QString::fromLatin1(mo->className());
        if (n.startsWith(QLatin1Char('Q'))) break;
        if (!contexts.contains(n)) contexts << n;
      }
    }
    for (const QString& c : contexts) {
      if (dictionary_->translateInContext(native, c, component, t)) return Found::InContext;
      if (hadAmp && dictionary_->translateInContext(stripped, c, component, t)) return Found::InContext;
    }
  }
  if (dictionary_->translate(native, t) || (hadAmp && dictionary_->translate(stripped, t)))
    return Found::WithoutContext;
  return Found::Nowhere;
}

void TIvTranslator::UpdateFont() {
  auto* root = qobject_cast<QWidget*>(Root());
  if (!root || !root->isWindow() || !dictionary_) return;
  const LanguageInfo info = dictionary_->languageInfo();
  const QString name = info.fontName.isEmpty() ? designFont_.family() : info.fontName;
  const int size = info.fontSize == 0 ? designFont_.pointSize() : info.fontSize;
  QFont f = root->font();
  bool changed = false;
  if (!name.isEmpty() && f.family() != name) {
    f.setFamily(name);
    changed = true;
  }
  if (size > 0 && f.pointSize() != size) {
    f.setPointSize(size);
    changed = true;
  }
  // Qt's fonts are Unicode: a language's character set has nothing to change.
  if (changed) root->setFont(f);
}

TIvTranslator::BidiState& TIvTranslator::bidiState(QWidget* control) {
  bidi_.erase(std::remove_if(bidi_.begin(), bidi_.end(), [](const BidiState& s) { return s.control.isNull(); }),
              bidi_.end());
  for (BidiState& s : bidi_)
    if (s.control == control) return s;
  bidi_.push_back({control, false, control->x(), TIvReadingOrder::ivroLeftToRight});
  return bidi_.back();
}

void TIvTranslator::MirrorControl(QWidget* control) {
  BidiState& s = bidiState(control);
  if (s.mirrored) return;
  s.mirrored = true;
  s.layout = currentLayout_;
  if (absolutelyPlaced(control))
    control->move(control->parentWidget()->contentsRect().width() - control->width() - s.unmirroredLeft, control->y());
}

void TIvTranslator::UnmirrorControl(QWidget* control) {
  BidiState& s = bidiState(control);
  if (!s.mirrored) return;
  s.mirrored = false;
  s.layout = currentLayout_;
  if (absolutelyPlaced(control)) control->move(s.unmirroredLeft, control->y());
}

void TIvTranslator::RealignMirrored(QWidget* control) {
  if (!(state_ & Mirrored) || !control || control == Root()) return;
  for (const BidiState& s : bidi_)
    if (s.control == control && s.mirrored && absolutelyPlaced(control))
      control->move(control->parentWidget()->contentsRect().width() - control->width() - s.unmirroredLeft,
                    control->y());
}

void TIvTranslator::RealignAllMirrored() {
  if (!(state_ & Mirrored)) return;
  for (const BidiState& s : bidi_)
    if (s.control) RealignMirrored(s.control);
}

void TIvTranslator::scaleRoot(QWidget* root, bool scaleUp) {
  if (!scaleUp) {
    // Back to the size the form had: restored exactly, not rounded twice.
    for (const auto& [w, r] : unscaled_)
      if (w) w->setGeometry(r);
    root->setFont(unscaledFont_);
    root->resize(unscaledSize_);
    unscaled_.clear();
    return;
  }
  const double factor = multiByteScale_ / 100.0;
  auto scale = [&](int v) { return qRound(v * factor); };
  unscaled_.clear();
  unscaledFont_ = root->font();
  unscaledSize_ = root->size();
  for (QWidget* w : root->findChildren<QWidget*>())
    if (absolutelyPlaced(w)) {
      unscaled_.emplace_back(w, w->geometry());
      w->setGeometry(scale(w->x()), scale(w->y()), scale(w->width()), scale(w->height()));
    }
  QFont f = root->font();
  if (f.pointSizeF() > 0) f.setPointSizeF(f.pointSizeF() * factor);
  root->setFont(f);
  root->resize(scale(root->width()), scale(root->height()));
}

}  // namespace vx::i18n
