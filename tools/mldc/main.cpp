// mldc: compiles the program's dictionary file from its translation table, language list and
// custom locales, dumps a dictionary file as readable text, and embeds a dictionary file's data
// in a stored form.
//   mldc compile TABLE.tsv LANGS.ini [--locales LOCALES.ini] -o OUT.mld [--version 1|2|3]
//        [--big-endian] [--utf16|--ansi]
//   mldc dump FILE.mld
//   mldc embed FILE.mld -o OUT.vxform --form CLASS[:NAME] --component CLASS:NAME
//   mldc --help | --version
#include "i18n/EmbeddedDictionary.h"
#include "i18n/FormData.h"
#include "i18n/MLDFile.h"
#include "i18n/MLDWriter.h"
#include "platform/IoError.h"
#include "tools/common/ProgramVersion.h"
#include "tools/mldc/MldSource.h"

#include <algorithm>
#include <cstdio>
#include <exception>
#include <fstream>
#include <iostream>
#include <sstream>
#include <string>
#include <tuple>
#include <utility>
#include <vector>

namespace {

using namespace vx::i18n;

constexpr const char* kUsage =
    "usage: mldc compile TABLE.tsv LANGS.ini [--locales LOCALES.ini] -o OUT.mld [--version 1|2|3]\n"
    "                    [--big-endian] [--utf16|--ansi]\n"
    "       mldc dump FILE.mld\n"
    "       mldc embed FILE.mld -o OUT.vxform --form CLASS[:NAME] --component CLASS:NAME\n"
    "                  (FILE.mld must hold 8-bit texts; NAME defaults to CLASS without its \"T\")\n"
    "       mldc --help | --version\n"
    "\n"
    "  compile     writes the dictionary file OUT.mld from the translation table, the language\n"
    "              list and the custom locales; --version the file format (default 3),\n"
    "              --big-endian its byte order, --utf16 or --ansi (the default) its texts\n"
    "  dump        prints a dictionary file as readable text\n"
    "  embed       stores a dictionary file's data in a form file, as the dictionary\n"
    "              component CLASS:NAME of the form CLASS[:NAME]\n"
    "  --help      this text\n"
    "  --version   mldc's own version (only as the only argument)\n";

std::string readAll(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  if (!in) throw std::runtime_error(path + ": cannot be read");
  std::ostringstream s;
  s << in.rdbuf();
  return s.str();
}

// Written beside the target and renamed over it, so that a failed run leaves no half file.
void writeFile(const std::string& output, const std::string& bytes) {
  const std::string temp = output + ".tmp";
  {
    std::ofstream out(temp, std::ios::binary | std::ios::trunc);
    out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    out.close();
    if (!out) {
      std::remove(temp.c_str());
      throw std::runtime_error(output + ": cannot be written");
    }
  }
  if (std::rename(temp.c_str(), output.c_str()) != 0) {
    std::remove(temp.c_str());
    throw std::runtime_error(output + ": cannot be written");
  }
}

int compile(const std::vector<std::string>& args) {
  std::vector<std::string> inputs;
  std::string output, localesFile;
  MLDWriteOptions options;
  for (std::size_t i = 0; i < args.size(); ++i) {
    const std::string& a = args[i];
    if (a == "-o" && i + 1 < args.size()) output = args[++i];
    else if (a == "--locales" && i + 1 < args.size()) localesFile = args[++i];
    else if (a == "--version" && i + 1 < args.size()) {
      const std::string v = args[++i];
      if (v != "1" && v != "2" && v != "3") throw std::invalid_argument("--version takes 1, 2 or 3");
      options.version = v[0] - '0';
    } else if (a == "--big-endian") options.bigEndian = true;
    else if (a == "--utf16") options.utf16 = true;
    else if (a == "--ansi") options.utf16 = false;
    else if (!a.empty() && a[0] == '-') throw std::invalid_argument("unknown option " + a);
    else inputs.push_back(a);
  }
  if (inputs.size() != 2 || output.empty()) throw std::invalid_argument("compile needs TABLE.tsv LANGS.ini -o OUT.mld");
  const auto languages = vx::mldc::parseLanguages(readAll(inputs[1]), inputs[1]);
  MLDDocument doc;
  for (const auto& l : languages) doc.Languages.push_back(l.language);
  options.contextKind = vx::mldc::parseTable(readAll(inputs[0]), inputs[0], languages, doc.Translations);
  if (!localesFile.empty()) doc.Locales = vx::mldc::parseLocales(readAll(localesFile), localesFile);
  writeFile(output, writeMLD(doc, options));
  return 0;
}

std::string quoted(const std::string& s) {
  return "\"" + vx::mldc::printable(vx::mldc::escapeField(s)) + "\"";
}

std::string joinInts(const std::vector<int>& v) {
  std::string s;
  for (std::size_t i = 0; i < v.size(); ++i) s += (i ? "," : "") + std::to_string(v[i]);
  return s;
}

std::string joinTexts(const std::vector<std::string>& v) {
  std::string s;
  for (std::size_t i = 0; i < v.size(); ++i) s += (i ? "," : "") + v[i];
  return s;
}

int dumpFile(const std::string& path, TIvMLDFile& f);

// A fault names the file, and for a damaged file the offset where reading stopped.
int dump(const std::string& path) {
  TIvMLDFile f;
  try {
    f.LoadFile(path);
  } catch (const std::exception& e) {
    throw std::runtime_error(vx::mldc::printable(path + ": " + e.what()));
  }
  try {
    return dumpFile(path, f);
  } catch (const EIvDictionaryError& e) {
    throw std::runtime_error(
        vx::mldc::printable(path + ": offset " + std::to_string(f.Position()) + ": " + e.what()));
  }
}

int dumpFile(const std::string&, TIvMLDFile& f) {
  std::ostream& o = std::cout;
  static const char* kinds[] = {"none", "both contexts", "context2 only", "context1 only"};
  o << "MLD version " << f.Version() << ", " << (f.BigEndian() ? "big-endian" : "little-endian")
    << ", " << (f.EightBit() ? "8-bit" : "UTF-16") << " texts, context kind "
    << static_cast<int>(f.ContextKind()) << " (" << kinds[static_cast<int>(f.ContextKind())] << ")\n";
  std::vector<TIvLanguage> langs;
  if (f.LanguageCount() > 0) f.SeekLanguages();
  for (int i = 0; i < f.LanguageCount(); ++i) langs.push_back(f.ReadLanguage());
  o << "languages " << langs.size() << "\n";
  for (std::size_t i = 0; i < langs.size(); ++i) {
    const TIvLanguage& l = langs[i];
    o << "  [" << i << "] primary " << l.PrimaryId << " sub " << l.DefaultSubId << " subs ["
      << joinInts(l.SubIds) << "] iso " << l.IsoLanguage << "-" << l.IsoCountry << " countries ["
      << joinTexts(l.CountryCodes) << "] codepage " << l.CodePage << " charset "
      << int{l.Charset} << " flags " << int{l.LanguageFlags} << " english " << quoted(l.EnglishName)
      << " native " << quoted(l.NativeName) << " font " << quoted(l.FontName) << " "
      << l.FontSize << "\n";
  }
  // One pass per language, each keeping that language's texts (one pass at least, for the
  // native texts and contexts).
  const int count = f.TranslationCount();
  const int languageCount = static_cast<int>(langs.size());
  std::vector<TIvTranslation> rows(static_cast<std::size_t>(count));
  std::vector<std::vector<std::string>> texts(static_cast<std::size_t>(count));
  for (int lang = 1; lang < std::max(languageCount, 2); ++lang) {
    f.SeekTranslations();
    const int cp = lang < languageCount ? langs[static_cast<std::size_t>(lang)].CodePage : 0;
    for (std::size_t r = 0; r < rows.size(); ++r) {
      f.ReadTranslation(rows[r], lang, cp, -1);
      if (lang < languageCount)
        texts[r].push_back(rows[r].TextSource == ivtsNone ? std::string() : rows[r].TranslatedText);
      rows[r].TranslatedText.clear();
    }
  }
  o << "translations " << count << "\n";
  for (int r = 0; r < count; ++r) {
    const TIvTranslation& t = rows[static_cast<std::size_t>(r)];
    o << "  " << quoted(t.NativeText);
    if (!t.Context1.empty() || !t.Context2.empty()) o << " in " << quoted(t.Context1) << "/" << quoted(t.Context2);
    o << "\n";
    for (std::size_t i = 0; i < texts[static_cast<std::size_t>(r)].size(); ++i)
      o << "    " << i + 1 << ": " << quoted(texts[static_cast<std::size_t>(r)][i]) << "\n";
  }
  o << "locales " << f.LocaleCount() << "\n";
  if (f.LocaleCount() > 0) f.SeekLocales();
  for (int i = 0; i < f.LocaleCount(); ++i) {
    const TIvLocale& c = f.ReadLocale();
    o << "  [" << i << "] id " << c.localeId() << " iso " << c.IsoLanguage << "-" << c.IsoCountry
      << " " << quoted(c.EnglishLanguageName) << " " << quoted(c.EnglishCountryName) << "\n"
      << vx::mldc::formatLocale(c, "    ");
  }
  return 0;
}

// "CLASS:NAME" (or "CLASS" alone when the name may be left out) into its halves.
std::pair<std::string, std::string> classAndName(const std::string& value, const char* option, bool nameOptional) {
  const auto colon = value.find(':');
  std::string cls = value.substr(0, colon);
  std::string name = colon == std::string::npos ? std::string() : value.substr(colon + 1);
  if (colon == std::string::npos && nameOptional)
    name = cls.size() > 1 && cls[0] == 'T' ? cls.substr(1) : cls;
  if (cls.empty() || (colon == std::string::npos && !nameOptional) || (!nameOptional && name.empty()))
    throw std::invalid_argument(std::string(option) + (nameOptional ? " takes CLASS[:NAME]" : " takes CLASS:NAME"));
  return {cls, name};
}

int embed(const std::vector<std::string>& args) {
  std::vector<std::string> inputs;
  std::string output, form, component;
  for (std::size_t i = 0; i < args.size(); ++i) {
    const std::string& a = args[i];
    if (a == "-o" && i + 1 < args.size()) output = args[++i];
    else if (a == "--form" && i + 1 < args.size()) form = args[++i];
    else if (a == "--component" && i + 1 < args.size()) component = args[++i];
    else if (!a.empty() && a[0] == '-') throw std::invalid_argument("unknown option " + a);
    else inputs.push_back(a);
  }
  if (inputs.size() != 1 || output.empty() || form.empty() || component.empty())
    throw std::invalid_argument("embed needs FILE.mld -o OUT.vxform --form CLASS[:NAME] --component CLASS:NAME");
  StoredForm stored;
  std::tie(stored.className, stored.name) = classAndName(form, "--form", true);
  const auto [componentClass, componentName] = classAndName(component, "--component", false);
  try {
    stored.components.push_back(
        embeddedDictionaryComponent(componentClass, componentName, storeEmbeddedDictionary(inputs[0])));
  } catch (const EIvStoreError& e) {
    throw std::runtime_error(e.caption() + ": " + e.what());
  } catch (const vx::IoError& e) {
    throw std::runtime_error(vx::mldc::printable(inputs[0] + ": " + e.what()));
  } catch (const EIvDictionaryError& e) {
    throw std::runtime_error(vx::mldc::printable(inputs[0] + ": " + e.what()));
  }
  writeFile(output, writeStoredForm(stored));
  return 0;
}

}  // namespace

int main(int argc, char** argv) {
  std::vector<std::string> args(argv + 1, argv + argc);
  // Alone on the line, --version is the tool's own version; after "compile" it is the format
  // version of the file written.
  if (args.size() == 1 && (args[0] == "--help" || args[0] == "-h")) {
    std::cout << kUsage;
    return 0;
  }
  if (args.size() == 1 && args[0] == "--version") return vx::tools::printProgramVersion("mldc");
  try {
    if (args.size() >= 1 && args[0] == "compile")
      return compile(std::vector<std::string>(args.begin() + 1, args.end()));
    if (args.size() == 2 && args[0] == "dump") return dump(args[1]);
    if (args.size() >= 1 && args[0] == "embed")
      return embed(std::vector<std::string>(args.begin() + 1, args.end()));
    std::cerr << kUsage;
    return 2;
  } catch (const std::invalid_argument& e) {
    std::cerr << "mldc: " << e.what() << "\n" << kUsage;
    return 2;
  } catch (const std::exception& e) {
    std::cerr << "mldc: " << e.what() << "\n";
    return 1;
  }
}
