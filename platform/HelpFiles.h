#pragma once
// Help files. A help file is named like "ENG/sys_down.hlp": its topics are HTML pages in the
// folder of the same name without the extension, one page per context number
// ("ENG/sys_down/1750.html"). A relative help file lies under the "help" folder beside
// the executable.
#include <QString>

namespace vx::help {

// The application's current help file (the program entry sets it).
QString applicationHelpFile();
void setApplicationHelpFile(const QString& path);

// Rewrites a help file path for a language code ("NOR", "SWE", "DAN", "ENG"): the folder
// part keeps everything up to its last separator, a trailing language folder (compared
// case-sensitively) is replaced, and the code goes in as the last folder.
//   "sys_down.hlp", "NOR"               -> "NOR/sys_down.hlp"
//   "/opt/help/ENG/sys_down.hlp", "DAN" -> "/opt/help/DAN/sys_down.hlp"
// Both '/' and '\' count as separators; the separator put in is '/'.
QString helpFileForLanguage(const QString& helpFile, const QString& languageCode);

// The language code of a dictionary language index, as the suite uses it for help folders:
// index - 1 of 0, 1, 2 gives "NOR", "SWE", "DAN"; everything else "ENG".
QString languageCodeForIndex(int languageIndex);

// The HTML page of a topic, or an empty string when there is none. A help file without a
// language folder falls back to the "ENG" folder beside it.
QString topicPath(const QString& helpFile, int context, const QString& helpRoot);

// The folder relative help files are resolved against: "<executable's folder>/help".
QString defaultHelpRoot();

}  // namespace vx::help
