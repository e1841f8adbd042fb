#pragma once
// The dictionary components: the language state and lookup interface (TIvDictionary), the
// in-memory translation list of the current language (TIvCustomDictionary), the dictionary
// file and where it is stored (TIvCustomFileDictionary), and the dictionary over MLD streams
// (TIvBinaryDictionary), which the main window owns as "Dictionary1" over "vxdown.mld".
//
// Failures are EIvDictionaryError (texts of the dictionary layer; EIvLanguageError when no
// language or locale can be used or a translation must not be missing) or vx::IoError (the
// file could not be opened). Each count or record query opens the stream and releases it again.
#include "i18n/LocaleSettings.h"
#include "i18n/MLDFile.h"
#include "i18n/MLDTypes.h"
#include "i18n/MLDWriter.h"

#include <QObject>
#include <QString>

#include <exception>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

namespace vx::i18n {

// The name and file of the program's own dictionary.
inline constexpr const char* kProgramDictionaryName = "Dictionary1";
inline constexpr const char* kProgramDictionaryFile = "vxdown.mld";
// The Qt resource that holds the MLD stream for Storage ivsResource.
inline constexpr const char* kDictionaryResource = ":/LINGUAFORM/MlDictionary";

class TIvDictionary : public QObject {
  Q_OBJECT
  Q_PROPERTY(bool Enabled READ Enabled WRITE SetEnabled)
  Q_PROPERTY(QString DictionaryName READ DictionaryName WRITE SetDictionaryName)
  Q_PROPERTY(int Language READ Language WRITE SetLanguage)
  Q_PROPERTY(int PrimaryLanguage READ PrimaryLanguage WRITE SetPrimaryLanguage)
  Q_PROPERTY(int SubLanguage READ SubLanguage WRITE SetSubLanguage)
  Q_PROPERTY(TIvBinding Binding READ Binding WRITE SetBinding)
  Q_PROPERTY(int Options READ Options WRITE SetOptions)
  Q_PROPERTY(TIvMissingTranslation MissingTranslation READ MissingTranslation WRITE SetMissingTranslation)
  Q_PROPERTY(TIvCheckLevel CheckLevel READ CheckLevel WRITE SetCheckLevel)
  // Older stored forms carry a "DictionaryCode"; it is accepted when read and never stored.
  Q_PROPERTY(int DictionaryCode READ DictionaryCode WRITE SetDictionaryCode STORED false)

 public:
  enum TIvBinding { ivbiNone = 0, ivbiLocaleToLanguage = 1, ivbiLanguageToLocale = 2 };
  Q_ENUM(TIvBinding)
  // The bits of Options.
  enum TIvDictionaryOption {
    ivdoUpdateLocaleVariables = 1 << 0,
    ivdoAutoTranslate = 1 << 1,
    ivdoYear2000 = 1 << 2,
    ivdoTranslateResourceStrings = 1 << 3,
    ivdoRecreateMDIChild = 1 << 4,
  };
  static constexpr int kAllOptions = 0x1F;
  enum TIvMissingTranslation { ivmtUseNative = 0, ivmtUseNull = 1, ivmtTagNative = 2, ivmtRaiseException = 3 };
  Q_ENUM(TIvMissingTranslation)
  enum TIvCheckLevel { ivclNone = 0, ivclSystem = 1, ivclCodePage = 2 };
  Q_ENUM(TIvCheckLevel)

  // Registers the dictionary with TIvDictionaries under a free "Dictionary<n>" name, and
  // installs the dictionary's exception display when the program has no exception handler.
  explicit TIvDictionary(QObject* owner = nullptr);
  ~TIvDictionary() override;

  bool Enabled() const { return enabled_; }
  void SetEnabled(bool enabled) { enabled_ = enabled; }
  QString DictionaryName() const { return dictionaryName_; }
  void SetDictionaryName(const QString& name) { dictionaryName_ = name; }

  // The language index: -2 the system's default language, -1 the user's, 0 the native
  // language, n a language of the dictionary. While the dictionary is open a value outside
  // -2 .. GetLanguageCount() - 1 raises "Language index <n> is out of range".
  int Language() const { return language_; }
  void SetLanguage(int value);

  // The two halves of the locale setting: primary 0 with sub 1 is the user's default
  // locale, with sub 2 the system's. While open a different value resolves the locale.
  int PrimaryLanguage() const { return primaryLangId(localeSetting_); }
  int SubLanguage() const { return subLangId(localeSetting_); }
  void SetPrimaryLanguage(int primary);
  void SetSubLanguage(int sub);
  TIvBinding Binding() const { return binding_; }
  void SetBinding(TIvBinding binding) { binding_ = binding; }
  int Options() const { return options_; }
  void SetOptions(int options) { options_ = options; }
  TIvMissingTranslation MissingTranslation() const { return missingTranslation_; }
  void SetMissingTranslation(TIvMissingTranslation m) { missingTranslation_ = m; }
  TIvEuro Euro() const { return euro_; }
  // Also the process-wide euro setting; the currency string follows at once.
  void SetEuro(TIvEuro euro);
  TIvCheckLevel CheckLevel() const { return checkLevel_; }
  void SetCheckLevel(TIvCheckLevel level) { checkLevel_ = level; }

  int DictionaryCode() const { return 0; }
  void SetDictionaryCode(int) {}

  bool Opened() const { return opened_; }
  int CurrentIndex() const { return currentIndex_; }
  int FallbackIndex() const { return fallbackIndex_; }
  const TIvLanguage& CurrentLanguage() const { return currentLanguage_; }
  int CurrentLocale() const { return currentLocale_; }
  int LanguageLocale() const { return languageLocale_; }
  const TIvLocale& CurrentLocaleRecord() const { return currentLocaleRecord_; }
  // The reading order of the current language.
  bool RightToLeft() const { return rightToLeft_; }

  // The index of the language for a locale id (user and system default ids replaced by the
  // actual ones): same primary and sublanguage, then a record for the whole primary language,
  // then any record of the primary language; -1 for none. Id 0 gives 0.
  int FindLanguage(int localeId);
  // The first language after the native one that passes the CheckLevel test; -1 for none.
  int FirstSupportedLanguage();
  // The language tests of CheckLevel ivclSystem and ivclCodePage.
  static bool PassesSystemTest(const TIvLanguage& language);
  static bool PassesCodePageTest(const TIvLanguage& language);

  // The translation of a text under MissingTranslation: a closed dictionary or an empty text
  // gives the text itself.
  QString TranslateText(const QString& text);
  // The missing-translation policy for a lookup of `text` that found `translation` (found) or
  // nothing.
  QString ApplyMissingTranslation(const QString& text, bool found, const QString& translation) const;
  // The record of language n: the current record for CurrentIndex, else a scratch record
  // that stays valid until the next call. n outside the languages raises
  // "Out of language range".
  const TIvLanguage& GetLanguageRecord(int n);
  // The locale follows the language: the current language's default locale is resolved.
  virtual void BindLocaleToLanguage();
  // The language follows the locale: the language of the current locale (the first supported
  // one when the dictionary has none for it) is resolved.
  virtual void BindLanguageToLocale();
  // One entry per distinct primary language, in file order: its native or English name
  // with the primary language id.
  struct LanguageName {
    QString name;
    int primaryId = 0;
  };
  virtual void AddLanguageNames(std::vector<LanguageName>& names, bool native);
  // Whether the system knows the locale id or the dictionary carries it as a custom locale.
  virtual bool IsLocaleSupported(int localeId);

  // A string of the program's string table as the user sees it: while the dictionary is open,
  // looked up with the string's id as its context (then without context) under the
  // missing-translation policy. A lookup that runs while another one does is not translated.
  QString TranslateResourceString(int id, const QString& text);

  virtual int GetLanguageCount() = 0;
  virtual void GetLanguage(int index, TIvLanguage& language) = 0;
  virtual int GetLocaleCount() = 0;
  virtual void GetLocale(int index, TIvLocale& locale) = 0;
  virtual int GetTranslationCount() { return 0; }
  virtual void Changed(bool languageChanged, bool localeChanged);
  virtual bool TranslateInContext(const QString& nativeText, const QString& context1,
                                  const QString& context2, QString& text);
  // Opens the dictionary when its data is available; a failure leaves it closed.
  virtual void Open();
  virtual void Close();
  virtual bool IsDataAvailable() { return true; }
  virtual void GetLanguages(std::vector<TIvLanguage>& list);
  virtual void GetLocales(std::vector<TIvLocale>& list);
  virtual bool Translate(const QString& nativeText, QString& text);

 signals:
  // With ivdoAutoTranslate, once per switch before the two events: every open translator
  // translates its form again.
  void TranslatorsChanged(bool languageChanged, bool localeChanged);
  // The dictionary closes: every open translator closes.
  void Closing();
  // With ivdoRecreateMDIChild after a language switch: a maximised MDI child of the main
  // window is to be recreated.
  void RecreateMDIChild();
  void LanguageChanged();
  void LocaleChanged();

 protected:
  // Chooses the language in use for a language index.
  void resolveLanguage(int value);
  // Chooses the locale in use for a locale id.
  void resolveLocale(int localeId);

 private:
  void setLocaleSetting(int setting);
  bool passesCheckLevel(const TIvLanguage& language) const;
  void applyFormatSettings();

  bool enabled_ = true;
  QString dictionaryName_;
  int language_ = -1;
  int openedLanguage_ = -1;  // the value of Language when the dictionary was opened
  int localeSetting_ = kUserDefaultLocaleId;
  TIvBinding binding_ = ivbiLocaleToLanguage;
  int options_ = kAllOptions;
  TIvMissingTranslation missingTranslation_ = ivmtUseNative;
  TIvEuro euro_ = iveNormal;
  TIvCheckLevel checkLevel_ = ivclCodePage;
  bool opened_ = false;
  bool rightToLeft_ = false;
  int currentIndex_ = 0;
  int fallbackIndex_ = 0;
  int currentLocale_ = 0;
  int languageLocale_ = 0;
  TIvLanguage currentLanguage_;
  TIvLanguage scratchLanguage_;
  TIvLocale currentLocaleRecord_;
};

// Shows an exception's message to the user as the dictionary display does: translated by the
// default dictionary when it is open (a composed message piece by piece, its values as they
// are), a full stop added when the text ends in a character that sorts after "." (so a text
// ending in ".", "!" or ")" gets none), in an error box with an OK button.
void ShowExceptionMessage(const std::exception& error);

// Resource-string translation: while on, every string of the program's string table and the
// key names of menu shortcuts go through the default dictionary. Open switches it on (with
// ivdoTranslateResourceStrings), Close switches it off again.
bool ResourceStringTranslationOn();

// The process-wide list of dictionaries (not owned); the default dictionary is entry 0.
class TIvDictionaries {
 public:
  static int Count();
  static TIvDictionary* Item(int index);
  // The dictionary of exactly that name (case-sensitive); nullptr when there is none.
  static TIvDictionary* Find(const QString& name);
  static void Add(TIvDictionary* dictionary);
  static void Remove(TIvDictionary* dictionary);
  // The default dictionary (entry 0), nullptr when there is none.
  static TIvDictionary* Default() { return Count() > 0 ? Item(0) : nullptr; }
};

class TIvCustomDictionary : public TIvDictionary {
  Q_OBJECT

 public:
  explicit TIvCustomDictionary(QObject* owner = nullptr);

  int GetTranslationCount() override { return static_cast<int>(translations_.size()); }
  void Changed(bool languageChanged, bool localeChanged) override;
  bool TranslateInContext(const QString& nativeText, const QString& context1,
                          const QString& context2, QString& text) override;
  bool Translate(const QString& nativeText, QString& text) override;
  virtual void LoadTranslations() = 0;

  // The loaded entries of the current language, sorted.
  const std::vector<TIvTranslation>& Translations() const { return translations_; }
  bool ContextMode() const { return contextMode_; }

 protected:
  void setContextMode(bool on) { contextMode_ = on; }
  void clearTranslations();
  void addTranslation(TIvTranslation entry) { translations_.push_back(std::move(entry)); }
  // Sorts by native text, or by native text, character 127 and the contexts in context mode,
  // byte by byte.
  void sortTranslations();

 private:
  const TIvTranslation* find(const std::string& probe, bool nativeOnly) const;

  std::vector<TIvTranslation> translations_;
  std::vector<std::string> keys_;  // the sort key of each entry
  bool contextMode_ = false;
};

class TIvCustomFileDictionary : public TIvCustomDictionary {
  Q_OBJECT
  Q_PROPERTY(QString FileName READ FileName WRITE SetFileName)
  Q_PROPERTY(TIvStorage Storage READ Storage WRITE SetStorage)

 public:
  enum TIvStorage { ivsFile = 0, ivsEmbedded = 1, ivsResource = 2 };
  Q_ENUM(TIvStorage)

  explicit TIvCustomFileDictionary(QObject* owner = nullptr);

  // The resolved file name, which is stored back.
  QString FileName();
  void SetFileName(const QString& name) { fileName_ = name; }
  TIvStorage Storage() const { return storage_; }
  void SetStorage(TIvStorage storage) { storage_ = storage; }

  // With ivsFile: the name against the current folder when that file exists, else (for a
  // name without a folder) the file beside the executable when it exists, else the name.
  QString ResolveFileName(const QString& name) const;
  bool IsDataAvailable() override;

 private:
  QString fileName_;
  TIvStorage storage_ = ivsFile;
};

class TIvBinaryDictionary : public TIvCustomFileDictionary {
  Q_OBJECT

 public:
  explicit TIvBinaryDictionary(QObject* owner = nullptr);

  // The stream with its header read; the caller owns it for one query.
  std::unique_ptr<TIvMLDFile> OpenDictionaryStream();

  int GetLanguageCount() override;
  void GetLanguage(int index, TIvLanguage& language) override;
  int GetLocaleCount() override;
  void GetLocale(int index, TIvLocale& locale) override;
  int GetTranslationCount() override;
  void GetLanguages(std::vector<TIvLanguage>& list) override;
  void GetLocales(std::vector<TIvLocale>& list) override;
  void LoadTranslations() override;

  // Storage ivsEmbedded: the dictionary's data is stored with its form, as the properties
  // "Languages", "Translations" and "Locales" of this component in the stored form of the
  // owner's class (the resource ":/forms/<class>", made by mldc embed). They are read once,
  // at the first query, and kept.
  virtual void ReadLanguagesData(std::string_view formData);
  virtual void ReadTranslationsData(std::string_view formData);
  // A failure gives "No dictionary data! Set the FileName property.".
  virtual void ReadLocalesData(std::string_view formData);
  // The class name of the owner form, whose stored form holds the embedded data.
  QString OwnerFormClass() const;

 private:
  void ensureEmbeddedData();
  // The stored value of one of this component's properties in the stored form.
  std::string_view embeddedProperty(std::string_view formData, const char* name) const;

  // The counts and records of embedded data (ivsEmbedded).
  bool embeddedRead_ = false;
  int embeddedLanguageCount_ = 0;
  int embeddedTranslationCount_ = 0;
  int embeddedLocaleCount_ = 0;
  std::vector<TIvLanguage> embeddedLanguages_;
  MLDContextKind embeddedContextKind_ = MLDContextKind::None;
  std::vector<MLDTranslationRow> embeddedTranslations_;
  std::vector<TIvLocale> embeddedLocales_;
};

}  // namespace vx::i18n
