// The help pages beside the program: every language has every topic, every page names
// its topic, and every link between pages leads to a page that exists.
#include "platform/HelpFiles.h"
#include "tests/support/QtPrinters.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QRegularExpression>

#include <gtest/gtest.h>

namespace {
// Every topic the programs open: the help file they name and the context they ask for.
struct Topic {
  const char* helpFile;
  int context;
};
constexpr Topic kTopics[] = {
    {"sys_down.hlp", 1750},  // contents of the circulation program
    {"sys_down.hlp", 1751},  // the circulation window
    {"sys_down.hlp", 1752},  // the import dialog
    {"VX2.hlp", 9301},       // the login dialog
    {"VX2.hlp", 1000},       // the about box
};
}  // namespace

TEST(HelpPages, EveryLanguageHasEveryTopicAndNoBrokenLink) {
  const QString root = vx::help::defaultHelpRoot();
  for (const char* code : {"NOR", "SWE", "DAN", "ENG"}) {
    for (const Topic& topic : kTopics) {
      const QString helpFile = QString(code) + "/" + topic.helpFile;
      const QString page = vx::help::topicPath(helpFile, topic.context, root);
      ASSERT_FALSE(page.isEmpty()) << helpFile.toStdString() << " " << topic.context;
      QFile file(page);
      ASSERT_TRUE(file.open(QIODevice::ReadOnly));
      const QString html = QString::fromUtf8(file.readAll());
      EXPECT_TRUE(html.contains("<title>")) << page.toStdString();
      EXPECT_GT(html.size(), 2000) << "a topic this short helps nobody: " << page.toStdString();
      static const QRegularExpression href(R"(href="([^"#]+)(#[^"]*)?")");
      for (auto it = href.globalMatch(html); it.hasNext();) {
        const QString target = it.next().captured(1);
        if (target.startsWith("http")) continue;
        EXPECT_TRUE(QFileInfo::exists(QFileInfo(page).absolutePath() + "/" + target))
            << page.toStdString() << " links to missing " << target.toStdString();
      }
    }
  }
}
