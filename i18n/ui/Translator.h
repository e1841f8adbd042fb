#pragma once
// The translator of one form: walks the form's QObject tree and replaces every text its
// targets name by the dictionary's translation.
//
// The texts are reached through a small adapter table from the program's (class, property)
// names to Qt: "Caption" is a window title, a label's or button's text, a group box title,
// an action's text or a menu title; "Hint" a tool tip (an action's status tip); "Text" a line
// edit's text (a memo's whole text is handled separately); "SimpleText" a status bar message;
// "Lines" a memo's lines; "Items" the items of a combo box or list widget. Any other name is a
// property of the object itself: a Q_PROPERTY whose name starts with a capital letter, or a
// dynamic property (file dialog components carry "Filter" and "Title" this way).
//
// Every text is remembered with its native (design) text, so that after a switch A -> B -> A
// the form shows A's texts again. A text the program changed after a translation is taken as
// its new native text. Menu texts are looked up with their "&" first, then without it.
//
// The class name of the form (context 1 of a lookup) is its "VXClassName" dynamic property
// when it has one, else its Qt class name; context 2 is the component's objectName.
#include "i18n/ui/TargetProperties.h"
#include "i18n/ui/TranslationSource.h"

#include <QFont>
#include <QObject>
#include <QPointer>
#include <QWidget>

#include <vector>

namespace vx::i18n {

enum class TIvReadingOrder : int { ivroLeftToRight = 0, ivroRightToLeft = 1 };
enum class TIvCharsetChange : int { ivccDisabled = 0, ivccNormal = 1, ivccAll = 2 };

enum TIvTranslatorOption : unsigned {
  ivtoAutoTranslate = 1u << 0,
  ivtoCheckFont = 1u << 1,
  ivtoScaleMultiByte = 1u << 2,
  ivtoMirrorBiDirectional = 1u << 3,
  ivtoChangeFontCharset = 1u << 4,
  ivtoUpdateLocaleProperty = 1u << 5,
  ivtoAutoOpen = 1u << 6,
  ivtoTranslateSystemMenu = 1u << 7,
  ivtoTranslateOCX = 1u << 8,
  ivtoForceCharsetChange = 1u << 9,
};
inline constexpr unsigned kDefaultTranslatorOptions = 0x1CF;

// The class name of an object as the program knows it.
QString vxClassName(const QObject* object);

class TIvCustomTranslator : public QObject {
  Q_OBJECT
  Q_PROPERTY(QString DictionaryName READ dictionaryName WRITE setDictionaryName)

 public:
  enum StateBit : unsigned { Opened = 1, Scaled = 2, Mirrored = 4 };

  explicit TIvCustomTranslator(QObject* owner = nullptr);
  ~TIvCustomTranslator() override;

  QString dictionaryName() const { return dictionaryName_; }
  void setDictionaryName(const QString& name);
  TranslationSource* dictionary() const { return dictionary_; }
  bool isOpened() const { return (state_ & Opened) != 0; }
  unsigned state() const { return state_; }

  virtual QWidget* rootWindow() const { return nullptr; }
  virtual void TranslateAll() {}
  virtual void DictionaryChanged(bool languageChanged, bool localeChanged);
  virtual void Open() { state_ |= Opened; }
  virtual void Close();
  virtual void Revert();

  // Called by a source that is going away.
  void sourceDestroyed(TranslationSource* source);

 signals:
  void languageChange();
  void localeChange();
  void beforeTranslate();
  void afterTranslate();

 protected:
  void link(TranslationSource* source);
  void unlink();

  unsigned state_ = 0;
  TranslationSource* dictionary_ = nullptr;
  QString dictionaryName_;
};

class TIvTranslator : public TIvCustomTranslator {
  Q_OBJECT

 public:
  // One row per translated text.
  struct TableItem {
    QPointer<QObject> object;
    QString componentName;
    QString propertyName;
    QString nativeText;
    QString nativeStripped;  // the native text without its first "&" for a menu item
    QString currentText;     // the last text written, without its first "&" for a menu item
  };

  explicit TIvTranslator(QObject* owner = nullptr);
  ~TIvTranslator() override;

  TIvReadingOrder nativeLayout() const { return nativeLayout_; }
  void setNativeLayout(TIvReadingOrder l) { nativeLayout_ = l; }
  const TIvTargetProperties& targets() const { return targets_; }
  void setTargets(const TIvTargetProperties& t) { targets_ = t; }
  TIvCharsetChange charsetChange() const { return charsetChange_; }
  void setCharsetChange(TIvCharsetChange c) { charsetChange_ = c; }
  unsigned options() const { return options_; }
  void setOptions(unsigned o) { options_ = o; }
  int multiByteScale() const { return multiByteScale_; }
  void setMultiByteScale(int percent) { multiByteScale_ = percent; }
  TIvReadingOrder currentLayout() const { return currentLayout_; }
  const std::vector<TableItem>& table() const { return table_; }

  // After the form is built: opens when auto-open is on and there is a dictionary.
  void Loaded();

  QWidget* rootWindow() const override;
  void TranslateAll() override;
  void DictionaryChanged(bool languageChanged, bool localeChanged) override;
  void Open() override;
  void Close() override;

  QObject* Root() const;
  void TranslateRootComponent(QObject* component);
  void RestoreNative();
  void RealignMirrored(QWidget* control);
  void RealignAllMirrored();
  // The window's system menu. Qt on Linux gives a program no access to the window manager's
  // window menu, so there is nothing to translate: this does nothing.
  void TranslateSystemMenu();

  // Whether the dictionary has a text for a row of the table in its current language, found
  // as the translation looks it up (in the form's context, then without context); `text` gets
  // it. A row the dictionary lacks, or whose text in this language is empty, gives false.
  bool hasTranslation(const TableItem& row, QString& text) const;

 signals:
  void translated(QObject* component);
  void scaled(QObject* root);

 protected:
  virtual void TranslateObject(QObject* object);
  virtual void TranslateComponent(QObject* component, bool isRoot);
  virtual void UpdateFont();
  virtual void MirrorControl(QWidget* control);
  virtual void UnmirrorControl(QWidget* control);
  virtual void TranslateSpecial(QObject* control);

 private:
  struct BidiState {
    QPointer<QWidget> control;
    bool mirrored = false;
    int unmirroredLeft = 0;
    TIvReadingOrder layout = TIvReadingOrder::ivroLeftToRight;
  };

  QString translateText(QObject* object, const QString& property, const QString& value);
  QString lookup(QObject* object, const QString& native, const QString& stripped, bool hadAmp);
  enum class Found { InContext, WithoutContext, Nowhere };
  Found find(const QObject* object, const QString& native, const QString& stripped, bool hadAmp, QString& t) const;
  void translateList(QObject* object, const QString& property);
  void updateLocaleProperty(QObject* object);
  BidiState& bidiState(QWidget* control);
  void scaleRoot(QWidget* root, bool scaleUp);  // by MultiByteScale, or back

  TIvReadingOrder nativeLayout_ = TIvReadingOrder::ivroLeftToRight;
  TIvTargetProperties targets_;
  TIvCharsetChange charsetChange_ = TIvCharsetChange::ivccNormal;
  unsigned options_ = kDefaultTranslatorOptions;
  int multiByteScale_ = 100;
  QPointer<QObject> rootOverride_;
  TIvReadingOrder currentLayout_ = TIvReadingOrder::ivroLeftToRight;
  bool haveDesignFont_ = false;
  QFont designFont_;
  std::vector<const QObject*> visited_;
  std::vector<TableItem> table_;
  std::vector<BidiState> bidi_;
  // What multi-byte scaling changed, to put back as it was.
  std::vector<std::pair<QPointer<QWidget>, QRect>> unscaled_;
  QFont unscaledFont_;
  QSize unscaledSize_;
};

}  // namespace vx::i18n
