#include "i18n/Dictionary.h"

#include "platform/LocaleInfo.h"

#include <cctype>
#include <fstream>

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <algorithm>
#include <numeric>

namespace vx::i18n {

namespace {

std::string utf8(const QString& s) { return s.toStdString(); }

}  // namespace

// --- TIvDictionary ---

TIvDictionary::TIvDictionary(QObject* owner) : QObject(owner) {}

TIvDictionary::~TIvDictionary() = default;

void TIvDictionary::SetLanguage(int value) {
  if (!opened_) {
    language_ = value;
    return;
  }
  if (value < -2 || value >= GetLanguageCount())
    throw EIvDictionaryError("Language index " + std::to_string(value) + " is out of range");
  if (value == language_) return;
  // A failure to read the new language leaves the old one in use.
  const int previousIndex = currentIndex_;
  const TIvLanguage previousRecord = currentLanguage_;
  try {
    resolveLanguage(value);
    language_ = value;
    Changed(true, false);
  } catch (...) {
    currentIndex_ = previousIndex;
    currentLanguage_ = previousRecord;
    throw;
  }
}

namespace {

// The locale the system runs in: LANG of /etc/default/locale, else the user's.
std::string systemLocaleName() {
  std::ifstream in("/etc/default/locale");
  for (std::string line; std::getline(in, line);) {
    if (line.rfind("LANG=", 0) != 0) continue;
    std::string v = line.substr(5);
    std::erase(v, '"');
    v = v.substr(0, v.find_first_of(".@"));
    if (!v.empty() && v != "C" && v != "POSIX") return v;
  }
  return vx::locale::userLocaleName();
}

// "nb_NO" -> "nb"; the Norwegian codes count as one language.
std::string languageCode(const std::string& localeName) {
  std::string code = localeName.substr(0, localeName.find_first_of("_-"));
  for (char& c : code) c = char(std::tolower(static_cast<unsigned char>(c)));
  if (code == "no" || code == "nn") code = "nb";
  return code;
}

}  // namespace

void TIvDictionary::resolveLanguage(int value) {
  const int count = GetLanguageCount();
  fallbackIndex_ = 0;
  if (value < -2 || (value >= 0 && value >= count))
    throw EIvDictionaryError("Language index " + std::to_string(value) + " is out of range");
  currentIndex_ = value;
  if (value < 0) {
    // The system's (-2) or the user's (-1) default: the dictionary's language of the same
    // ISO language; none of them, the native language.
    const std::string wanted =
        languageCode(value == -2 ? systemLocaleName() : vx::locale::userLocaleName());
    currentIndex_ = 0;
    for (int i = 1; i < count; ++i) {
      TIvLanguage candidate;
      GetLanguage(i, candidate);
      if (languageCode(candidate.IsoLanguage) == wanted) {
        currentIndex_ = i;
        break;
      }
    }
  }
  currentLanguage_ = TIvLanguage();
  if (count > 0) GetLanguage(currentIndex_, currentLanguage_);
}

void TIvDictionary::Changed(bool languageChanged, bool localeChanged) {
  if (languageChanged) emit LanguageChanged();
  if (localeChanged) emit LocaleChanged();
}

bool TIvDictionary::TranslateInContext(const QString&, const QString&, const QString&, QString&) {
  return false;
}

bool TIvDictionary::Translate(const QString&, QString&) { return false; }

void TIvDictionary::Open() {
  if (opened_ || !IsDataAvailable()) return;
  try {
    resolveLanguage(language_);
    opened_ = true;
    Changed(true, true);
  } catch (...) {
    opened_ = false;
    throw;
  }
}

void TIvDictionary::Close() { opened_ = false; }

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

int TIvBinaryDictionary::GetLanguageCount() {
  if (Storage() == ivsEmbedded) return embeddedLanguageCount_;
  return OpenDictionaryStream()->LanguageCount();
}

int TIvBinaryDictionary::GetTranslationCount() {
  if (Storage() == ivsEmbedded) return embeddedTranslationCount_;
  return OpenDictionaryStream()->TranslationCount();
}

int TIvBinaryDictionary::GetLocaleCount() {
  if (Storage() == ivsEmbedded) return embeddedLocaleCount_;
  return OpenDictionaryStream()->LocaleCount();
}

void TIvBinaryDictionary::GetLanguage(int index, TIvLanguage& language) {
  language = OpenDictionaryStream()->Language(index);
}

void TIvBinaryDictionary::GetLocale(int index, TIvLocale& locale) {
  locale = OpenDictionaryStream()->Locale(index);
}

void TIvBinaryDictionary::GetLanguages(std::vector<TIvLanguage>& list) {
  auto stream = OpenDictionaryStream();
  std::vector<TIvLanguage> read;
  if (stream->LanguageCount() > 0) stream->SeekLanguages();
  for (int i = 0; i < stream->LanguageCount(); ++i) read.push_back(stream->ReadLanguage());
  list.insert(list.end(), read.begin(), read.end());
}

void TIvBinaryDictionary::GetLocales(std::vector<TIvLocale>& list) {
  auto stream = OpenDictionaryStream();
  if (stream->LocaleCount() == 0) return;
  std::vector<TIvLocale> read;
  stream->SeekLocales();
  for (int i = 0; i < stream->LocaleCount(); ++i) read.push_back(stream->ReadLocale());
  list.insert(list.end(), read.begin(), read.end());
}

void TIvBinaryDictionary::LoadTranslations() {
  clearTranslations();
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
