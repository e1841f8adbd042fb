// The help pages beside the program: every language has every topic, every page names
// its topic, and every link between pages leads to a page that exists.
#include "platform/HelpFiles.h"
#include "tests/support/QtPrinters.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QRegularExpression>

#include <gtest/gtest.h>

TEST(HelpPages, EveryLanguageHasEveryTopicAndNoBrokenLink) {
  const QString root = vx::help::defaultHelpRoot();
  for (const char* code : {"NOR", "SWE", "DAN", "ENG"}) {
    for (int context : {1750, 1751}) {
      const QString page = vx::help::topicPath(QString(code) + "/sys_down.hlp", context, root);
      ASSERT_FALSE(page.isEmpty()) << code << " " << context;
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
