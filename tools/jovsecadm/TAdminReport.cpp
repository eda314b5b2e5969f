#include "TAdminReport.h"

#include "TAdminContext.h"
#include "TAdminError.h"
#include "TAdminFile.h"
#include "TAdminOutput.h"
#include "TAdminSession.h"

#include "reporting/Frmgenwn.h"
#include "reporting/Rptdsgn.h"
#include "reporting/Secdbunt.h"

#include <QApplication>
#include <QComboBox>
#include <QDate>
#include <QFile>
#include <QTemporaryDir>
#include <QToolButton>

namespace {
// The Usage report's range: the options, else the first and last day of the log.
void usageRange(TAdminContext& c, TAdminSession& s, QDate& start, QDate& end)
{
    const QList<QVariantList> span = s.rows(QStringLiteral("select min(ACCESS_DATE), max(ACCESS_DATE) from LOG"));
    const QDate first = span.first().at(0).toDate();
    const QDate last = span.first().at(1).toDate();
    start = c.isSet(QStringLiteral("from")) ? c.date(QStringLiteral("from"))
                                            : (first.isValid() ? first : QDate::currentDate());
    end = c.isSet(QStringLiteral("to")) ? c.date(QStringLiteral("to")) : (last.isValid() ? last : start);
}

// The reports window's range dialog answers with the range for as long as this lives.
struct RangeAnswer {
    RangeAnswer(QDate start, QDate end)
    {
        TFormSecDB::setUsageRangeDialog([start, end](QWidget*, QDate& s, QDate& e) {
            s = start;
            e = end;
            return true;
        });
    }
    ~RangeAnswer() { TFormSecDB::setUsageRangeDialog({}); }
};
// The PDF is drawn into a private folder, then written under the name asked for
// only when it is whole: the drawing itself reports no failed write.
void writePdf(TFormGenWin& pages, const QString& title, const QString& path)
{
    TAdminFile target(path);
    QTemporaryDir folder;
    if (!folder.isValid())
        throw TAdminError::refused(
            QStringLiteral("Unable to write the file %1: no temporary folder (%2).").arg(path, folder.errorString()));
    const QString drawn = folder.filePath(QStringLiteral("report.pdf"));
    QString error;
    if (!pages.SaveToPdf(drawn, title, &error))
        throw TAdminError::refused(error.replace(drawn, path));
    QFile file(drawn);
    QByteArray bytes;
    if (file.open(QIODevice::ReadOnly))
        bytes = file.readAll();
    // A PDF ends with its end-of-file marker; one cut short by a full disk does not.
    if (!bytes.trimmed().endsWith("%%EOF"))
        throw TAdminError::refused(
            QStringLiteral("Unable to write the file %1: the report could not be drawn whole (%2).")
                .arg(path, file.errorString()));
    target.write(bytes);
    target.commit();
}
} // namespace

namespace TAdminReport {

void report(TAdminContext& c)
{
    if (!qobject_cast<QApplication*>(QCoreApplication::instance()))
        throw TAdminError::refused(QStringLiteral("Reports are drawn with the graphical libraries; run the report "
                                                  "command from the jovsecadm program."));
    const QString name = c.arg(0);
    const QString pdf = c.value(QStringLiteral("pdf"));
    if (pdf.isEmpty())
        throw TAdminError::usage(QStringLiteral("Name the PDF file to write with --pdf FILE."));

    TFormSecDB form;
    // No "Creating the Report" box: nobody is looking.
    form.fgwMain->setOptions(0);
    QStringList names;
    int index = -1;
    for (int i = 0; i < form.cmboxReportType->count(); ++i) {
        names << form.cmboxReportType->itemText(i);
        if (names.last().compare(name.trimmed(), Qt::CaseInsensitive) == 0)
            index = i;
    }
    if (index < 0)
        throw TAdminError::usage(
            QStringLiteral("There is no report named \"%1\". The reports are: %2.").arg(name, names.join(", ")));
    const bool usage = form.report(index) == form.rdUsage;
    if (!usage && (c.isSet(QStringLiteral("from")) || c.isSet(QStringLiteral("to"))))
        throw TAdminError::usage(QStringLiteral("--from and --to belong to the Usage report."));

    TAdminSession& s = c.session();
    QDate start, end;
    if (usage) {
        usageRange(c, s, start, end);
        if (start > end)
            throw TAdminError::usage(QStringLiteral("--from is after --to."));
    }
    RangeAnswer range(start, end);
    form.AliasName = s.alias();
    form.ApplyAlias();
    form.cmboxReportType->setCurrentIndex(index);
    form.spbtnExecuteClick(form.spbtnExecute);
    TFormGenWin& pages = *form.fgwMain;
    writePdf(pages, form.report(index)->title(), pdf);
    QJsonObject extra {{QStringLiteral("report"), names.at(index)},
                       {QStringLiteral("file"), pdf},
                       {QStringLiteral("pages"), pages.pageCount()}};
    if (usage) {
        extra.insert(QStringLiteral("from"), start.toString(Qt::ISODate));
        extra.insert(QStringLiteral("to"), end.toString(Qt::ISODate));
    }
    const int rows = form.report(index)->rowsBuilt();
    extra.insert(QStringLiteral("rows"), rows);
    // A design changed in SecDesk's designer and kept for this database is the one
    // the window uses, so the file says so.
    const QString kept = form.designPlace(index);
    extra.insert(QStringLiteral("design"), kept.isEmpty() ? QStringLiteral("default") : kept);
    const QString design = kept.isEmpty() ? QString() : QStringLiteral(" It uses the design kept %1.").arg(kept);
    if (rows == 0) {
        const QString what = usage ? QStringLiteral("The Usage report has no entries from %1 to %2")
                                         .arg(start.toString(Qt::ISODate), end.toString(Qt::ISODate))
                                   : QStringLiteral("The %1 report has no entries").arg(names.at(index));
        c.out().done(QStringLiteral("%1; wrote a page saying so to %2.%3").arg(what, pdf, design), extra);
        return;
    }
    c.out().done(QStringLiteral("Wrote the %1 report (%2 page%3) to %4.%5")
                     .arg(names.at(index))
                     .arg(pages.pageCount())
                     .arg(pages.pageCount() == 1 ? "" : "s", pdf, design),
                 extra);
}

} // namespace TAdminReport
