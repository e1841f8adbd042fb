#include "i18n/Dictionary.h"

#include "i18n/CodePages.h"
#include "i18n/EmbeddedDictionary.h"
#include "i18n/FormData.h"
#include "i18n/FormResource.h"
#include "platform/ExceptionHandler.h"
#include "platform/ResourceStrings.h"
#include "platform/UserInterface.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QGuiApplication>
#include <QTranslator>

#include <algorithm>
#include <cstring>
#include <numeric>

namespace vx::i18n {

namespace {

std::string utf8(const QString& s) { return s.toStdString(); }

using vx::MessagePart;

EIvDictionaryError languageIndexOutOfRange(int value) {
  return EIvDictionaryError({MessagePart::piece("Language index "),
                             MessagePart::value(std::to_string(value)),
                             MessagePart::piece(" is out of range")});
}

bool isBidirectional(int primary) { return primary == 1 || primary == 13 || primary == 41; }

// The key names of menu shortcuts that go through the dictionary: the modifiers and the
// named keys, as Qt names them. Digits, letters and function keys are shown as they are.
bool isTranslatedKeyName(const char* name) {
  static const char* const kNames[] = {"Shift", "Ctrl", "Alt", "Backspace", "Tab",
                                       "Esc", "Return", "Enter", "Space", "PgUp", "PgDown",
                                       "End", "Home", "Left", "Up", "Right", "Down", "Ins", "Del"};
  for (const char* n : kNames)
    if (std::strcmp(n, name) == 0) return true;
  return false;
}

// Qt builds the shortcut texts of menus from key names it fetches through the application's
// translators; this one answers them from the default dictionary.
class KeyNameTranslator : public QTranslator {
 public:
  QString translate(const char* context, const char* sourceText, const char*, int) const override {
    if (!context || !sourceText || std::strcmp(context, "QShortcut") != 0 ||
        !isTranslatedKeyName(sourceText))
      return QString();
    TIvDictionary* dictionary = TIvDictionaries::Default();
    if (!dictionary || !dictionary->Opened()) return QString();
    try {
      return dictionary->TranslateText(QString::fromLatin1(sourceText));
    } catch (const std::exception&) {
      return QString();  // a missing key name never stops a menu from painting
    }
  }
  bool isEmpty() const override { return false; }
};

struct ResourceTranslation {
  const TIvDictionary* owner = nullptr;  // the dictionary that switched it on
  KeyNameTranslator* keyNames = nullptr;
};

ResourceTranslation& resourceTranslation() {
  static ResourceTranslation state;
  return state;
}

void switchResourceStringsOn(const TIvDictionary* owner) {
  ResourceTranslation& state = resourceTranslation();
  if (state.owner) return;
  state.owner = owner;
  res::setTranslator([](int id, const QString& native) {
    TIvDictionary* dictionary = TIvDictionaries::Default();
    return dictionary && dictionary->Opened() ? dictionary->TranslateResourceString(id, native) : native;
  });
  if (QCoreApplication::instance()) {
    state.keyNames = new KeyNameTranslator;
    QCoreApplication::installTranslator(state.keyNames);
  }
}

void switchResourceStringsOff(const TIvDictionary* owner) {
  ResourceTranslation& state = resourceTranslation();
  if (state.owner != owner) return;
  res::setTranslator(nullptr);
  if (state.keyNames) {
    if (QCoreApplication::instance()) QCoreApplication::removeTranslator(state.keyNames);
    delete state.keyNames;
  }
  state = ResourceTranslation();
}

}  // namespace

bool ResourceStringTranslationOn() { return resourceTranslation().owner != nullptr; }

void ShowExceptionMessage(const std::exception& error) {
  QString message = QString::fromStdString(error.what());
  TIvDictionary* dictionary = TIvDictionaries::Default();
  if (dictionary && dictionary->Opened()) {
    // A text is shown untranslated rather than not at all.
    const auto translated = [dictionary](const QString& text) {
      try {
        return dictionary->TranslateText(text);
      } catch (const std::exception&) {
        return text;
      }
    };
    const auto* composed = dynamic_cast<const vx::ComposedMessage*>(&error);
    if (composed && !composed->parts().empty() && composed->parts().front().isFormat) {
      // The dictionary holds the format; the values fill the translated one.
      const vx::MessageParts& parts = composed->parts();
      QStringList values;
      for (std::size_t i = 1; i < parts.size(); ++i) values << QString::fromStdString(parts[i].text);
      message = vx::res::formatMessage(translated(QString::fromStdString(parts.front().text)), values);
    } else if (composed && !composed->parts().empty()) {
      // Piece by piece: the dictionary holds the pieces, never the sentence with its value.
      message.clear();
      for (const vx::MessagePart& part : composed->parts()) {
        const QString text = QString::fromStdString(part.text);
        message += part.isValue ? text : translated(text);
      }
    } else {
      message = translated(message);
    }
  }
  if (!message.isEmpty() && message.back() > QLatin1Char('.')) message += QLatin1Char('.');
  userInterface().messageBox(nullptr, message, MsgIcon::Error, MsgButtons::Ok);
}

// --- TIvDictionary ---

TIvDictionary::TIvDictionary(QObject* owner) : QObject(owner) {
  // A name that no registered dictionary has, counting up from the registry's count + 1.
  for (int n = TIvDictionaries::Count() + 1;; ++n) {
    const QString name = QStringLiteral("Dictionary%1").arg(n);
    if (!TIvDictionaries::Find(name)) {
      dictionaryName_ = name;
      break;
    }
  }
  TIvDictionaries::Add(this);
  if (!hasExceptionHandler()) setExceptionHandler(ShowExceptionMessage);
}

TIvDictionary::~TIvDictionary() {
  if (opened_) TIvDictionary::Close();
  switchResourceStringsOff(this);
  TIvDictionaries::Remove(this);
}

void TIvDictionary::SetLanguage(int value) {
  if (!opened_) {
    language_ = value;
    return;
  }
  if (value < -2 || value >= GetLanguageCount())
    throw languageIndexOutOfRange(value);
  if (value == language_) return;
  // A language that cannot be used leaves the old one in use.
  const int previousIndex = currentIndex_, previousFallback = fallbackIndex_;
  const int previousLanguageLocale = languageLocale_, previousLocale = currentLocale_;
  const TIvLanguage previousRecord = currentLanguage_;
  const TIvLocale previousLocaleRecord = currentLocaleRecord_;
  const int previousLanguage = language_;
  try {
    resolveLanguage(value);
    if (binding_ == ivbiLocaleToLanguage) resolveLocale(languageLocale_);
    language_ = value;
    Changed(true, currentLocale_ != previousLocale);
  } catch (...) {
    language_ = previousLanguage;
    currentIndex_ = previousIndex;
    fallbackIndex_ = previousFallback;
    languageLocale_ = previousLanguageLocale;
    currentLocale_ = previousLocale;
    currentLanguage_ = previousRecord;
    currentLocaleRecord_ = previousLocaleRecord;
    throw;
  }
}

void TIvDictionary::SetPrimaryLanguage(int primary) {
  setLocaleSetting(makeLangId(primary, SubLanguage()));
}

void TIvDictionary::SetSubLanguage(int sub) {
  setLocaleSetting(makeLangId(PrimaryLanguage(), sub));
}

void TIvDictionary::setLocaleSetting(int setting) {
  if (!opened_) {
    localeSetting_ = setting;
    return;
  }
  if (setting == localeSetting_) return;
  const int previousIndex = currentIndex_;
  resolveLocale(setting);
  localeSetting_ = setting;
  if (binding_ == ivbiLanguageToLocale) {
    const int found = FindLanguage(currentLocale_);
    if (found < 0) {
      resolveLanguage(FirstSupportedLanguage());
    } else {
      resolveLanguage(found);
      languageLocale_ = currentLocale_;
    }
  }
  Changed(currentIndex_ != previousIndex, true);
}

void TIvDictionary::SetEuro(TIvEuro euro) {
  euro_ = euro;
  setEuroSetting(euro);
  TIvFormatSettings settings = formatSettings();
  const TIvFormatSettings fresh = formatSettingsFor(currentLocaleRecord_, false, euro);
  settings.CurrencyString = fresh.CurrencyString;
  setFormatSettings(settings);
}

bool TIvDictionary::PassesSystemTest(const TIvLanguage& language) {
  if (language.PrimaryId == 0 || language.PrimaryId == 9 || language.PrimaryId == 33) return true;
  if (language.LanguageFlags & 0x02) return true;
  return language.CodePage == 0 || codepage::isCodePageSupported(language.CodePage);
}

bool TIvDictionary::PassesCodePageTest(const TIvLanguage& language) {
  if (language.PrimaryId == 0 || language.PrimaryId == 9 || language.PrimaryId == 33) return true;
  if ((language.LanguageFlags & 0x02) || language.CodePage == 0) return true;
  return language.CodePage == systemAnsiCodePage();
}

bool TIvDictionary::passesCheckLevel(const TIvLanguage& language) const {
  switch (checkLevel_) {
    case ivclSystem: return PassesSystemTest(language);
    case ivclCodePage: return PassesCodePageTest(language);
    default: return true;
  }
}

int TIvDictionary::FindLanguage(int localeId) {
  if (localeId == 0) return 0;
  const int id = actualLocaleId(localeId);
  const int primary = primaryLangId(id), sub = subLangId(id);
  std::vector<TIvLanguage> languages;
  GetLanguages(languages);
  const auto count = static_cast<int>(languages.size());
  for (int i = 0; i < count; ++i) {
    const TIvLanguage& l = languages[static_cast<std::size_t>(i)];
    if (l.PrimaryId == primary &&
        (l.DefaultSubId == sub || std::find(l.SubIds.begin(), l.SubIds.end(), sub) != l.SubIds.end()))
      return i;
  }
  for (int i = 0; i < count; ++i) {
    const TIvLanguage& l = languages[static_cast<std::size_t>(i)];
    if (l.PrimaryId == primary && (l.SubIds.empty() || l.SubIds.front() == 0)) return i;
  }
  for (int i = 0; i < count; ++i)
    if (languages[static_cast<std::size_t>(i)].PrimaryId == primary) return i;
  return -1;
}

int TIvDictionary::FirstSupportedLanguage() {
  std::vector<TIvLanguage> languages;
  GetLanguages(languages);
  if (languages.empty()) return -1;
  const std::size_t start = languages.front().PrimaryId == 0 ? 1 : 0;
  for (std::size_t i = start; i < languages.size(); ++i)
    if (passesCheckLevel(languages[i])) return static_cast<int>(i);
  return -1;
}

void TIvDictionary::resolveLanguage(int value) {
  const int count = GetLanguageCount();
  if (value < -2 || value >= count)
    throw languageIndexOutOfRange(value);
  fallbackIndex_ = 0;
  int index = value == -2 ? FindLanguage(kSystemDefaultLocaleId)
              : value == -1 ? FindLanguage(kUserDefaultLocaleId)
                            : value;
  if (index < 0) index = FirstSupportedLanguage();
  if (index < 0) throw EIvLanguageError("System does not support any language of the dicitonary!");

  TIvLanguage record;
  GetLanguage(index, record);
  if (binding_ == ivbiLocaleToLanguage) {
    const int wanted = openedLanguage_ == -2 ? systemDefaultLocaleId() : userDefaultLocaleId();
    const int candidate = primaryLangId(wanted) == record.PrimaryId
                              ? subLangId(wanted)
                              : subLangId(makeLangId(record.PrimaryId, record.DefaultSubId));
    const bool listed =
        std::find(record.SubIds.begin(), record.SubIds.end(), candidate) != record.SubIds.end();
    record.CurrentSubId = listed || (record.SubIds.empty() && candidate >= 0) ? candidate
                                                                              : record.DefaultSubId;
  }
  int fallback = 0;
  if (!record.SubIds.empty()) fallback = FindLanguage(makeLangId(record.PrimaryId, 0));

  if (checkLevel_ == ivclSystem && !PassesSystemTest(record))
    throw EIvLanguageError({MessagePart::value(record.EnglishName),
                            MessagePart::piece(" is not supported by the system")});
  if (checkLevel_ == ivclCodePage && !PassesCodePageTest(record))
    throw EIvLanguageError({MessagePart::value(record.EnglishName),
                            MessagePart::piece(" is not supported by the code page")});

  currentIndex_ = index;
  fallbackIndex_ = fallback;
  currentLanguage_ = std::move(record);
  languageLocale_ = makeLangId(currentLanguage_.PrimaryId, currentLanguage_.CurrentSubId);
}

void TIvDictionary::resolveLocale(int localeId) {
  const int actual = actualLocaleId(localeId);
  TIvLocale record;
  bool custom = false;
  if (GetLocaleCount() > 0) {
    std::vector<TIvLocale> locales;
    GetLocales(locales);
    for (const TIvLocale& c : locales) {
      if (c.localeId() == actual) {
        record = c;
        custom = true;
        break;
      }
    }
  }
  if (!custom) systemLocale(actual, record);
  const std::string numbers =
      "(" + std::to_string(primaryLangId(localeId)) + ", " + std::to_string(subLangId(localeId)) + ")";
  if (checkLevel_ == ivclSystem && !codepage::isCodePageSupported(record.CodePage))
    throw EIvLanguageError({MessagePart::piece("The locale "), MessagePart::value(numbers),
                            MessagePart::piece(" is not supported by the system")});
  if (checkLevel_ == ivclCodePage && record.PrimaryId != 0 && record.PrimaryId != 9 &&
      record.PrimaryId != 33 && record.CodePage != systemAnsiCodePage())
    throw EIvLanguageError({MessagePart::piece("The locale "), MessagePart::value(numbers),
                            MessagePart::piece(" is not supported by the current code page")});
  currentLocale_ = actual;
  currentLocaleRecord_ = std::move(record);
}

void TIvDictionary::applyFormatSettings() {
  setFormatSettings(formatSettingsFor(currentLocaleRecord_, (options_ & ivdoYear2000) != 0, euro_));
}

void TIvDictionary::Changed(bool languageChanged, bool localeChanged) {
  rightToLeft_ = isBidirectional(currentLanguage_.PrimaryId);
  // The whole program reads in the language's direction; Qt tells every window when it
  // changes.
  if (qobject_cast<QGuiApplication*>(QCoreApplication::instance())) {
    const Qt::LayoutDirection direction = rightToLeft_ ? Qt::RightToLeft : Qt::LeftToRight;
    if (QGuiApplication::layoutDirection() != direction) QGuiApplication::setLayoutDirection(direction);
  }
  if (localeChanged) {
    setThreadLocale(currentLocale_);
    if (options_ & ivdoUpdateLocaleVariables) applyFormatSettings();
  }
  if (options_ & ivdoAutoTranslate) emit TranslatorsChanged(languageChanged, localeChanged);
  if (languageChanged) emit LanguageChanged();
  if (localeChanged) emit LocaleChanged();
  if (languageChanged && (options_ & ivdoRecreateMDIChild)) emit RecreateMDIChild();
}

QString TIvDictionary::ApplyMissingTranslation(const QString& text, bool found,
                                               const QString& translation) const {
  if (found && !translation.isEmpty()) return translation;
  switch (missingTranslation_) {
    case ivmtUseNull: return QString();
    case ivmtTagNative: return QLatin1Char('@') + text + QLatin1Char('@');
    case ivmtRaiseException:
      throw EIvLanguageError(
          found ? vx::MessageParts{MessagePart::piece("Translation for the word \""),
                                   MessagePart::value(utf8(text)), MessagePart::piece("\" is missing")}
                : vx::MessageParts{
                      MessagePart::piece("Dictionary does not contain a translation for the word \""),
                      MessagePart::value(utf8(text)), MessagePart::piece("\"")});
    default: return text;
  }
}

QString TIvDictionary::TranslateText(const QString& text) {
  if (text.isEmpty() || !opened_) return text;
  QString translation;
  const bool found = Translate(text, translation);
  return ApplyMissingTranslation(text, found, translation);
}

bool TIvDictionary::TranslateInContext(const QString&, const QString&, const QString&, QString&) {
  return false;
}

bool TIvDictionary::Translate(const QString&, QString&) { return false; }

void TIvDictionary::Open() {
  if (opened_ || !IsDataAvailable()) return;
  try {
    openedLanguage_ = language_;
    switch (binding_) {
      case ivbiNone:
        resolveLanguage(language_);
        resolveLocale(localeSetting_);
        break;
      case ivbiLocaleToLanguage:
        resolveLanguage(language_);
        resolveLocale(languageLocale_);
        break;
      case ivbiLanguageToLocale: {
        resolveLocale(localeSetting_);
        const int found = FindLanguage(currentLocale_);
        if (found < 0) {
          resolveLanguage(FirstSupportedLanguage());
        } else {
          resolveLanguage(found);
          languageLocale_ = currentLocale_;
        }
        break;
      }
    }
    opened_ = true;
    if (options_ & ivdoTranslateResourceStrings) switchResourceStringsOn(this);
    Changed(true, true);
  } catch (...) {
    Close();
    throw;
  }
}

void TIvDictionary::Close() {
  switchResourceStringsOff(this);
  emit Closing();
  opened_ = false;
}

const TIvLanguage& TIvDictionary::GetLanguageRecord(int n) {
  if (n < 0 || n >= GetLanguageCount()) throw EIvDictionaryError("Out of language range");
  if (opened_ && n == currentIndex_) return currentLanguage_;
  GetLanguage(n, scratchLanguage_);
  return scratchLanguage_;
}

void TIvDictionary::BindLocaleToLanguage() {
  if (!opened_) return;
  const int previous = currentLocale_;
  resolveLocale(makeLangId(currentLanguage_.PrimaryId, currentLanguage_.DefaultSubId));
  if (currentLocale_ != previous) Changed(false, true);
}

void TIvDictionary::BindLanguageToLocale() {
  if (!opened_) return;
  const int previous = currentIndex_;
  // A locale without a language of its own gets the first supported language, as a change
  // of the locale setting does (an index of -1 would mean the user's default language).
  const int found = FindLanguage(currentLocale_);
  resolveLanguage(found >= 0 ? found : FirstSupportedLanguage());
  if (currentIndex_ != previous) Changed(true, false);
}

void TIvDictionary::AddLanguageNames(std::vector<LanguageName>& names, bool native) {
  std::vector<TIvLanguage> languages;
  GetLanguages(languages);
  std::vector<int> seen;
  for (const TIvLanguage& l : languages) {
    if (std::find(seen.begin(), seen.end(), l.PrimaryId) != seen.end()) continue;
    seen.push_back(l.PrimaryId);
    names.push_back({QString::fromStdString(native ? l.NativeName : l.EnglishName), l.PrimaryId});
  }
}

bool TIvDictionary::IsLocaleSupported(int localeId) {
  const int id = actualLocaleId(localeId);
  if (!localeNameForId(id).empty()) return true;
  if (GetLocaleCount() == 0) return false;
  std::vector<TIvLocale> locales;
  GetLocales(locales);
  return std::any_of(locales.begin(), locales.end(), [id](const TIvLocale& c) { return c.localeId() == id; });
}

void TIvDictionary::GetLanguages(std::vector<TIvLanguage>& list) {
  const int count = GetLanguageCount();
  for (int i = 0; i < count; ++i) {
    TIvLanguage l;
    GetLanguage(i, l);
    list.push_back(std::move(l));
  }
}

void TIvDictionary::GetLocales(std::vector<TIvLocale>& list) {
  const int count = GetLocaleCount();
  for (int i = 0; i < count; ++i) {
    TIvLocale c;
    GetLocale(i, c);
    list.push_back(std::move(c));
  }
}

QString TIvDictionary::TranslateResourceString(int id, const QString& text) {
  static bool running = false;
  if (running || !opened_ || text.isEmpty()) return text;
  running = true;
  struct Reset {
    ~Reset() { running = false; }
  } reset;
  QString translation;
  bool found = TranslateInContext(text, QString(), QString::number(id), translation);
  if (!found) found = Translate(text, translation);
  return ApplyMissingTranslation(text, found, translation);
}

// --- TIvDictionaries ---

namespace {

std::vector<TIvDictionary*>& registry() {
  static std::vector<TIvDictionary*> list;
  return list;
}

}  // namespace

int TIvDictionaries::Count() { return static_cast<int>(registry().size()); }

TIvDictionary* TIvDictionaries::Item(int index) {
  if (index < 0 || index >= Count()) return nullptr;
  return registry()[static_cast<std::size_t>(index)];
}

TIvDictionary* TIvDictionaries::Find(const QString& name) {
  for (TIvDictionary* d : registry())
    if (d->DictionaryName() == name) return d;
  return nullptr;
}

void TIvDictionaries::Add(TIvDictionary* dictionary) {
  if (dictionary && std::find(registry().begin(), registry().end(), dictionary) == registry().end())
    registry().push_back(dictionary);
}

void TIvDictionaries::Remove(TIvDictionary* dictionary) { std::erase(registry(), dictionary); }

// --- TIvCustomDictionary ---

TIvCustomDictionary::TIvCustomDictionary(QObject* owner) : TIvDictionary(owner) {}

void TIvCustomDictionary::Changed(bool languageChanged, bool localeChanged) {
  if (languageChanged) LoadTranslations();
  TIvDictionary::Changed(languageChanged, localeChanged);
}

void TIvCustomDictionary::clearTranslations() {
  translations_.clear();
  keys_.clear();
}

void TIvCustomDictionary::sortTranslations() {
  std::vector<std::string> keys;
  keys.reserve(translations_.size());
  for (const TIvTranslation& t : translations_)
    keys.push_back(contextMode_ ? t.NativeText + '\x7f' + t.Context1 + t.Context2 : t.NativeText);
  std::vector<std::size_t> order(translations_.size());
  std::iota(order.begin(), order.end(), std::size_t{0});
  std::sort(order.begin(), order.end(), [&](std::size_t a, std::size_t b) { return keys[a] < keys[b]; });
  std::vector<TIvTranslation> sorted;
  sorted.reserve(order.size());
  keys_.clear();
  keys_.reserve(order.size());
  for (std::size_t i : order) {
    sorted.push_back(std::move(translations_[i]));
    keys_.push_back(std::move(keys[i]));
  }
  translations_ = std::move(sorted);
}

const TIvTranslation* TIvCustomDictionary::find(const std::string& probe, bool nativeOnly) const {
  // std::string compares byte by byte as unsigned characters: ordinal, case-sensitive.
  std::ptrdiff_t low = 0, high = static_cast<std::ptrdiff_t>(translations_.size()) - 1;
  while (low <= high) {
    const std::ptrdiff_t mid = (low + high) / 2;
    const auto& entry = translations_[static_cast<std::size_t>(mid)];
    const int c = nativeOnly ? (entry.NativeText + '\x7f').compare(probe)
                             : keys_[static_cast<std::size_t>(mid)].compare(probe);
    if (c == 0) return &entry;
    if (c < 0) low = mid + 1;
    else high = mid - 1;
  }
  return nullptr;
}

bool TIvCustomDictionary::Translate(const QString& nativeText, QString& text) {
  const TIvTranslation* t = contextMode_ ? find(utf8(nativeText) + '\x7f', true)
                                         : find(utf8(nativeText), false);
  if (!t) return false;
  text = QString::fromStdString(t->TranslatedText);
  return true;
}

bool TIvCustomDictionary::TranslateInContext(const QString& nativeText, const QString& context1,
                                             const QString& context2, QString& text) {
  if (!contextMode_) return Translate(nativeText, text);
  const TIvTranslation* t =
      find(utf8(nativeText) + '\x7f' + utf8(context1) + utf8(context2), false);
  if (!t) return false;
  text = QString::fromStdString(t->TranslatedText);
  return true;
}

// --- TIvCustomFileDictionary ---

TIvCustomFileDictionary::TIvCustomFileDictionary(QObject* owner) : TIvCustomDictionary(owner) {}

QString TIvCustomFileDictionary::FileName() {
  fileName_ = ResolveFileName(fileName_);
  return fileName_;
}

QString TIvCustomFileDictionary::ResolveFileName(const QString& name) const {
  if (storage_ != ivsFile || name.isEmpty()) return name;
  const QFileInfo here(QDir::current(), name);
  if (here.isFile()) return here.absoluteFilePath();
  if (!name.contains(QLatin1Char('/')) && QCoreApplication::instance()) {
    const QFileInfo beside(QDir(QCoreApplication::applicationDirPath()), name);
    if (beside.isFile()) return beside.absoluteFilePath();
  }
  return name;
}

bool TIvCustomFileDictionary::IsDataAvailable() {
  if (storage_ != ivsFile) return true;
  const QString name = FileName();
  return !name.isEmpty() && QFileInfo(name).isFile();
}

// --- TIvBinaryDictionary ---

TIvBinaryDictionary::TIvBinaryDictionary(QObject* owner) : TIvCustomFileDictionary(owner) {}

std::unique_ptr<TIvMLDFile> TIvBinaryDictionary::OpenDictionaryStream() {
  const QString name = FileName();
  if (name.isEmpty()) throw EIvDictionaryError("No FileName property set");
  auto stream = std::make_unique<TIvMLDFile>();
  if (Storage() == ivsFile) {
    stream->LoadFile(QFile::encodeName(name).toStdString());
  } else {
    QFile resource(QString::fromLatin1(kDictionaryResource));
    if (!resource.open(QIODevice::ReadOnly))
      throw EIvDictionaryError("The dictionary resource MlDictionary of type LINGUAFORM is missing");
    if (resource.size() > static_cast<qint64>(TIvMLDFile::MaxStreamSize))
      throw EIvDictionaryError("The stream is too large for an MLD stream");
    const QByteArray bytes = resource.readAll();
    stream->AttachStream(std::string(bytes.constData(), static_cast<std::size_t>(bytes.size())));
    stream->ReadHeader();
  }
  setContextMode(stream->ContextKind() != MLDContextKind::None);
  return stream;
}

QString TIvBinaryDictionary::OwnerFormClass() const {
  const QObject* owner = parent();
  if (!owner) return QString();
  const QVariant name = owner->property("VXClassName");
  if (name.isValid() && !name.toString().isEmpty()) return name.toString();
  return QString::fromLatin1(owner->metaObject()->className());
}

void TIvBinaryDictionary::ensureEmbeddedData() {
  if (embeddedRead_) return;
  const std::string form = loadStoredFormResource(OwnerFormClass().toStdString());
  ReadLanguagesData(form);
  ReadTranslationsData(form);
  ReadLocalesData(form);
  embeddedRead_ = true;
}

std::string_view TIvBinaryDictionary::embeddedProperty(std::string_view formData, const char* name) const {
  // The component is stored under its class name and its component name.
  return findStoredProperty(formData, "TIvBinaryDictionary", utf8(objectName()), name);
}

void TIvBinaryDictionary::ReadLanguagesData(std::string_view formData) {
  embeddedLanguages_ = readEmbeddedLanguages(
      embeddedProperty(formData, kEmbeddedLanguagesProperty));
  embeddedLanguageCount_ = static_cast<int>(embeddedLanguages_.size());
}

void TIvBinaryDictionary::ReadTranslationsData(std::string_view formData) {
  embeddedTranslations_ = readEmbeddedTranslations(
      embeddedProperty(formData, kEmbeddedTranslationsProperty),
      embeddedContextKind_);
  embeddedTranslationCount_ = static_cast<int>(embeddedTranslations_.size());
}

void TIvBinaryDictionary::ReadLocalesData(std::string_view formData) {
  try {
    embeddedLocales_ = readEmbeddedLocales(
        embeddedProperty(formData, kEmbeddedLocalesProperty));
  } catch (const std::exception&) {
    throw EIvLanguageError("No dictionary data! Set the FileName property.");
  }
  embeddedLocaleCount_ = static_cast<int>(embeddedLocales_.size());
}

int TIvBinaryDictionary::GetLanguageCount() {
  if (Storage() == ivsEmbedded) {
    ensureEmbeddedData();
    return embeddedLanguageCount_;
  }
  return OpenDictionaryStream()->LanguageCount();
}

int TIvBinaryDictionary::GetTranslationCount() {
  if (Storage() == ivsEmbedded) {
    ensureEmbeddedData();
    return embeddedTranslationCount_;
  }
  return OpenDictionaryStream()->TranslationCount();
}

int TIvBinaryDictionary::GetLocaleCount() {
  if (Storage() == ivsEmbedded) {
    ensureEmbeddedData();
    return embeddedLocaleCount_;
  }
  return OpenDictionaryStream()->LocaleCount();
}

void TIvBinaryDictionary::GetLanguage(int index, TIvLanguage& language) {
  if (Storage() == ivsEmbedded) {
    ensureEmbeddedData();
    if (index < 0 || index >= embeddedLanguageCount_) throw EIvDictionaryError("Out of language range");
    language = embeddedLanguages_[static_cast<std::size_t>(index)];
    return;
  }
  language = OpenDictionaryStream()->Language(index);
}

void TIvBinaryDictionary::GetLocale(int index, TIvLocale& locale) {
  if (Storage() == ivsEmbedded) {
    ensureEmbeddedData();
    if (embeddedLocaleCount_ == 0) throw EIvDictionaryError("No custom locales");
    if (index < 0 || index >= embeddedLocaleCount_) throw EIvDictionaryError("Out of locale range");
    locale = embeddedLocales_[static_cast<std::size_t>(index)];
    return;
  }
  locale = OpenDictionaryStream()->Locale(index);
}

void TIvBinaryDictionary::GetLanguages(std::vector<TIvLanguage>& list) {
  if (Storage() == ivsEmbedded) {
    ensureEmbeddedData();
    list.insert(list.end(), embeddedLanguages_.begin(), embeddedLanguages_.end());
    return;
  }
  auto stream = OpenDictionaryStream();
  std::vector<TIvLanguage> read;
  if (stream->LanguageCount() > 0) stream->SeekLanguages();
  for (int i = 0; i < stream->LanguageCount(); ++i) read.push_back(stream->ReadLanguage());
  list.insert(list.end(), read.begin(), read.end());
}

void TIvBinaryDictionary::GetLocales(std::vector<TIvLocale>& list) {
  if (Storage() == ivsEmbedded) {
    ensureEmbeddedData();
    list.insert(list.end(), embeddedLocales_.begin(), embeddedLocales_.end());
    return;
  }
  auto stream = OpenDictionaryStream();
  if (stream->LocaleCount() == 0) return;
  std::vector<TIvLocale> read;
  stream->SeekLocales();
  for (int i = 0; i < stream->LocaleCount(); ++i) read.push_back(stream->ReadLocale());
  list.insert(list.end(), read.begin(), read.end());
}

void TIvBinaryDictionary::LoadTranslations() {
  clearTranslations();
  if (Storage() == ivsEmbedded) {
    ensureEmbeddedData();
    setContextMode(embeddedContextKind_ != MLDContextKind::None);
    const int wanted = CurrentIndex(), fallback = FallbackIndex();
    if (wanted <= 0) return;
    // A row holds the texts of languages 1 to n - 1; the texts are already in memory.
    const auto textOf = [](const MLDTranslationRow& row, int index) -> const std::string* {
      if (index <= 0 || static_cast<std::size_t>(index) > row.Texts.size()) return nullptr;
      const std::string& t = row.Texts[static_cast<std::size_t>(index - 1)];
      return t.empty() ? nullptr : &t;
    };
    for (const MLDTranslationRow& row : embeddedTranslations_) {
      TIvTranslation entry;
      entry.NativeText = row.NativeText;
      entry.Context1 = row.Context1;
      entry.Context2 = row.Context2;
      if (const std::string* t = textOf(row, wanted)) {
        entry.TranslatedText = *t;
        entry.TextSource = ivtsCurrent;
      } else if (const std::string* f = textOf(row, fallback)) {
        entry.TranslatedText = *f;
        entry.TextSource = ivtsFallback;
      } else {
        continue;
      }
      addTranslation(std::move(entry));
    }
    sortTranslations();
    return;
  }
  auto stream = OpenDictionaryStream();
  const int currentCp = CurrentLanguage().CodePage;
  const int wanted = CurrentIndex();
  if (wanted <= 0) return;  // the native language needs no translation
  try {
    stream->SeekTranslations();
    for (int i = 0; i < stream->TranslationCount(); ++i) {
      TIvTranslation entry;
      if (stream->ReadTranslation(entry, wanted, currentCp, FallbackIndex()) != ivtsNone)
        addTranslation(std::move(entry));
    }
  } catch (...) {
    clearTranslations();
    throw;
  }
  sortTranslations();
}

}  // namespace vx::i18n
