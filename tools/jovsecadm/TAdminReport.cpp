#include "TAdminReport.h"

#include "TAdminContext.h"
#include "TAdminError.h"
#include "TAdminFile.h"
#include "TAdminOutput.h"
#include "TAdminSession.h"

#include "reporting/TReportDesign.h"
#include "reporting/TPageDocument.h"
#include "reporting/TReportDefinitions.h"

#include <QDate>
#include <QFile>
#include <QGuiApplication>
#include <QTemporaryDir>

namespace {
// A ranged report's days: the options, else the first and last day of its data.
void reportRange(TAdminContext& c, const TReportDefinitions& reports, int index, QDate& start, QDate& end)
{
    const auto [first, last] = reports.span(index);
    start = c.isSet(QStringLiteral("from")) ? c.date(QStringLiteral("from"))
                                            : (first.isValid() ? first : QDate::currentDate());
    end = c.isSet(QStringLiteral("to")) ? c.date(QStringLiteral("to")) : (last.isValid() ? last : start);
}

// The PDF is drawn into a private folder, then written under the name asked for
// only when it is whole: the drawing itself reports no failed write.
void writePdf(const TPageDocument& pages, const QString& title, const QString& path)
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
    if (!qobject_cast<QGuiApplication*>(QCoreApplication::instance()))
        throw TAdminError::refused(QStringLiteral("Reports are drawn with the graphical libraries; run the report "
                                                  "command from the jovsecadm program."));
    const QString name = c.arg(0);
    const QString pdf = c.value(QStringLiteral("pdf"));
    if (pdf.isEmpty())
        throw TAdminError::usage(QStringLiteral("Name the PDF file to write with --pdf FILE."));

    const QStringList names = TReportDefinitions::names();
    const int index = TReportDefinitions::indexOf(name);
    if (index < 0)
        throw TAdminError::usage(
            QStringLiteral("There is no report named \"%1\". The reports are: %2.").arg(name, names.join(", ")));
    const bool ranged = TReportDefinitions::hasRange(index);
    if (!ranged && (c.isSet(QStringLiteral("from")) || c.isSet(QStringLiteral("to"))))
        throw TAdminError::usage(QStringLiteral("--from and --to belong to the Usage and Audit Trail reports."));

    TAdminSession& s = c.session();
    TReportDefinitions reports;
    reports.setAliasName(s.alias());
    const QString unavailable = reports.unavailable(index);
    if (!unavailable.isEmpty())
        throw TAdminError::refused(unavailable);
    QDate start, end;
    if (ranged) {
        reportRange(c, reports, index, start, end);
        if (start > end)
            throw TAdminError::usage(QStringLiteral("--from is after --to."));
    }
    TPageDocument pages;
    reports.setPages(&pages);
    reports.build(index, start, end);
    const TReportDesign& built = *reports.report(index);
    writePdf(pages, built.title(), pdf);
    QJsonObject extra {{QStringLiteral("report"), names.at(index)},
                       {QStringLiteral("file"), pdf},
                       {QStringLiteral("pages"), pages.pageCount()}};
    if (ranged) {
        extra.insert(QStringLiteral("from"), start.toString(Qt::ISODate));
        extra.insert(QStringLiteral("to"), end.toString(Qt::ISODate));
    }
    const int rows = built.rowsBuilt();
    extra.insert(QStringLiteral("rows"), rows);
    // A design changed in SecDesk's designer and kept for this database is the one
    // the window uses, so the file says so.
    const QString kept = reports.designPlace(index);
    extra.insert(QStringLiteral("design"), kept.isEmpty() ? QStringLiteral("default") : kept);
    const QString design = kept.isEmpty() ? QString() : QStringLiteral(" It uses the design kept %1.").arg(kept);
    if (rows == 0) {
        const QString what = ranged ? QStringLiteral("The %1 report has no entries from %2 to %3")
                                          .arg(names.at(index), start.toString(Qt::ISODate), end.toString(Qt::ISODate))
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
