// Loading the program's dictionary and translating the circulation window with it, as the
// program does when it starts in a language or when the language changes.
//
//   LoadAndTranslate   a new dictionary on vxdown.mld: open, load the translations of one
//                      language, and translate the (already built) circulation window.
//   SwitchLanguage     the open dictionary changes between two languages: the translations
//                      are loaded again and the window is translated again.
// Target: both together under 20 ms.
#include "app/FVXSysDn.h"
#include "i18n/Dictionary.h"
#include "i18n/ui/DictionarySource.h"
#include "i18n/ui/TargetProperties.h"
#include "i18n/ui/Translator.h"
#include "platform/ScriptedUserInterface.h"

#include <QApplication>
#include <benchmark/benchmark.h>

#include <cstdlib>
#include <filesystem>

namespace {

TFVXSysDn* window = nullptr;

void BM_LoadAndTranslate(benchmark::State& state) {
  int language = 1;
  for (auto _ : state) {
    // A dictionary of another name, so that it is not the window's own one.
    vx::i18n::TIvBinaryDictionary dictionary;
    dictionary.SetDictionaryName("BenchDictionary");
    dictionary.SetFileName(vx::i18n::kProgramDictionaryFile);
    dictionary.SetLanguage(language);
    vx::i18n::TIvDictionarySource source(dictionary);
    vx::i18n::TIvTranslator translator(window);
    translator.setDictionaryName("BenchDictionary");
    translator.setTargets(vx::i18n::mainWindowTargets());
    translator.Loaded();  // opens the dictionary, loads the language, translates the window
    if (!dictionary.Opened()) state.SkipWithError("vxdown.mld not found beside the benchmark");
    language = language % 4 + 1;
  }
}

void BM_SwitchLanguage(benchmark::State& state) {
  int language = 1;
  for (auto _ : state) {
    language = language % 4 + 1;
    window->IvBinaryDictionary1()->SetLanguage(language);
  }
}

}  // namespace

BENCHMARK(BM_LoadAndTranslate)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_SwitchLanguage)->Unit(benchmark::kMillisecond);

int main(int argc, char** argv) {
  if (!std::getenv("QT_QPA_PLATFORM")) setenv("QT_QPA_PLATFORM", "offscreen", 1);
  // Settings of the benchmark's own, in a folder that goes at the end.
  const auto registry = std::filesystem::temp_directory_path() / "vxbench-dictionary-registry";
  std::filesystem::create_directories(registry);
  setenv("VELLUMDEX_REGISTRY_DIR", registry.c_str(), 1);
  QApplication app(argc, argv);
  vx::ScriptedUserInterface ui;  // answers the window's start-up message
  TFVXSysDn w;
  window = &w;
  benchmark::Initialize(&argc, argv);
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  window = nullptr;
  std::filesystem::remove_all(registry);
  return 0;
}
