#pragma once
// The dictionary components: the language state and lookup interface (TIvDictionary), the
// in-memory translation list of the current language (TIvCustomDictionary), the dictionary
// file and where it is stored (TIvCustomFileDictionary), and the dictionary over MLD streams
// (TIvBinaryDictionary), which the main window owns as "Dictionary1" over "vxdown.mld".
//
// Failures are EIvDictionaryError (texts of the dictionary layer) or vx::IoError (the file
// could not be opened). Each count or record query opens the stream and releases it again.
#include "i18n/MLDFile.h"
#include "i18n/MLDTypes.h"

#include <QObject>
#include <QString>

#include <memory>
#include <string>
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

 public:
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

  bool Opened() const { return opened_; }
  int CurrentIndex() const { return currentIndex_; }
  int FallbackIndex() const { return fallbackIndex_; }
  const TIvLanguage& CurrentLanguage() const { return currentLanguage_; }

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
  void LanguageChanged();
  void LocaleChanged();

 protected:
  // Chooses the language in use for a language index.
  void resolveLanguage(int value);

 private:
  bool enabled_ = true;
  QString dictionaryName_;
  int language_ = -1;
  bool opened_ = false;
  int currentIndex_ = 0;
  int fallbackIndex_ = 0;
  TIvLanguage currentLanguage_;
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

 private:
  // The counts of embedded data (ivsEmbedded); this program stores no embedded data.
  int embeddedLanguageCount_ = 0;
  int embeddedTranslationCount_ = 0;
  int embeddedLocaleCount_ = 0;
};

}  // namespace vx::i18n
