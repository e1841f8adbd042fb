#include "import/ui/FollowUpPrint.h"

#include "import/ImportStrings.h"
#include "import/ui/ImportDialog.h"
#include "platform/ResourceStrings.h"

#include <QPrinter>
#include <QTextDocument>

#include <iterator>

namespace vx::import {

namespace {

// The columns the page shows: all but the group, whose heading stands above its table. Their
// widths in percent of the page, the same in every group's table (in the order of
// FollowUpList::columnHeadings(), the group's 0).
constexpr size_t kGroupColumn = 1;
constexpr int kColumnWidths[] = {6, 0, 8, 10, 10, 14, 9, 11, 15, 17};

QString escaped(const std::string& utf8) { return QString::fromStdString(utf8).toHtmlEscaped(); }
QString escaped(const QString& text) { return text.toHtmlEscaped(); }

QString labelled(const QString& label, const QString& value) {
  return "<b>" + escaped(label.trimmed()) + ":</b> " + escaped(value);
}

}  // namespace

QString followUpHtml(const FollowUpList& list, const FollowUpHeader& header) {
  using vx::res::loadResString;
  QString html = "<html><body>";
  html += "<h2>" + escaped(loadResString(sFollowUpTitle)) + "</h2>";
  html += "<p>" + labelled(loadResString(sPrintUnit), header.unit) + "<br>" +
          labelled(loadResString(sPrintUser), header.user) + "<br>" +
          labelled(loadResString(sPrintDate), header.finished.toString("dd.MM.yyyy hh:mm")) + "<br>" +
          labelled(QString::fromStdString(text(sProcessed)), QString::number(header.processed)) +
          "&nbsp;&nbsp;&nbsp; " +
          labelled(QString::fromStdString(text(sAccepted)), QString::number(header.accepted)) +
          "&nbsp;&nbsp;&nbsp; " +
          labelled(QString::fromStdString(text(sRejected)), QString::number(header.rejected)) + "</p>";
  const std::vector<std::string> headings = FollowUpList::columnHeadings();
  for (int g = 0; g < kFollowUpGroupCount; ++g) {
    const auto group = static_cast<FollowUpGroup>(g);
    if (list.count(group) == 0) continue;
    html += "<h3>" + escaped(FollowUpList::groupHeading(group)) + " (" + QString::number(list.count(group)) +
            ")</h3>";
    html += "<table border=\"1\" cellspacing=\"0\" cellpadding=\"3\" width=\"100%\" "
            "style=\"border-collapse: collapse; border-color: #808080;\"><thead><tr>";
    for (size_t c = 0; c < headings.size(); ++c)
      if (c != kGroupColumn)
        html += QString("<th align=\"left\" bgcolor=\"#e0e0e0\" width=\"%1%\">")
                    .arg(c < std::size(kColumnWidths) ? kColumnWidths[c] : 0) +
                escaped(headings[c]) + "</th>";
    html += "</tr></thead><tbody>";
    for (const FollowUpRow& row : list.rows()) {
      if (row.group != group) continue;
      html += "<tr>";
      const std::vector<std::string> cells = FollowUpList::cells(row);
      for (size_t c = 0; c < cells.size(); ++c)
        if (c != kGroupColumn) html += "<td>" + escaped(cells[c]) + "</td>";
      html += "</tr>";
    }
    html += "</tbody></table>";
  }
  return html + "</body></html>";
}

bool printFollowUp(QPrinter& printer, const FollowUpList& list, const FollowUpHeader& header) {
  QTextDocument document;
  QFont font = document.defaultFont();
  font.setPointSize(9);
  document.setDefaultFont(font);
  document.setHtml(followUpHtml(list, header));
  document.print(&printer);
  // The print engine notes a device it could not open (a file it may not write, a printer
  // that went away) as an error; the document's print() itself says nothing.
  return printer.printerState() != QPrinter::Error;
}

}  // namespace vx::import
