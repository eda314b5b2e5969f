// The Usage report on a large activity log: 100 users, 50 constants and 100,000
// LOG rows, 1,000 a day over 100 days, so a range of 10 days selects 10,000 rows
// (about 385 landscape pages) and of 100 days all of them. The database is
// generated once into a cached file under /tmp and reused by later runs.
//
// Measures: the whole build behind "Preview Report" (query, look-ups, layout), the
// layout alone into the command list with the memory it takes per page, painting
// one page of the preview, and writing every page to a PDF file.
#include "BenchDatabase.h"
#include "database/TDatabase.h"
#include "database/TQuery.h"
#include "reporting/TDrawCmd.h"
#include "reporting/TFormGenWin.h"
#include "reporting/TReportDesign.h"
#include "reporting/TFormSecDB.h"

#include <QComboBox>
#include <QFile>
#include <QImage>
#include <QPainter>
#include <QPdfWriter>
#include <QToolButton>
#include <benchmark/benchmark.h>

#include <algorithm>
#include <malloc.h>
#include <memory>

namespace {
const QString kDir = QStringLiteral("/tmp/jovsec-bench-reporting");
const QString kAlias = QStringLiteral("JOVSEC_BENCH_REPORTING");
constexpr int kUsers = 100;
constexpr int kConstants = 50;
constexpr int kLogRows = 100000;
constexpr int kRowsPerDay = 1000;
const QDate kFirstDay(2026, 1, 1);

void prepareDatabase()
{
    BenchDatabase::prepare(
        kDir, kAlias,
        {BenchDatabase::usersBlock(kUsers), BenchDatabase::passwordHistoryRows(),
         BenchDatabase::constantsBlock(kConstants),
         // Every tenth entry is a logon (no constant).
         QString("EXECUTE BLOCK AS DECLARE I INTEGER = 0; BEGIN WHILE (I < %1) DO BEGIN "
                 "INSERT INTO LOG (ACCESS_DATE, USER_ID, ACCESS_ID) VALUES (DATEADD(%2 DAY TO DATE '%3'), "
                 "MOD(:I, %4) + 1, IIF(MOD(:I, 10) = 0, NULL, MOD(:I, %5) + 1)); I = I + 1; END END")
             .arg(kLogRows)
             .arg(QString("CAST(:I / %1 AS INTEGER)").arg(kRowsPerDay))
             .arg(kFirstDay.toString(Qt::ISODate))
             .arg(kUsers)
             .arg(kConstants),
         BenchDatabase::programRow()});
}

int daysFor(int rows) { return rows / kRowsPerDay; }

// A reports window whose Usage range covers the given number of log rows.
std::unique_ptr<TFormSecDB> usageWindow(int rows)
{
    const int days = daysFor(rows);
    TFormSecDB::setUsageRangeDialog([days](QWidget*, QDate& start, QDate& end) {
        start = kFirstDay;
        end = kFirstDay.addDays(days - 1);
        return true;
    });
    auto window = std::make_unique<TFormSecDB>();
    window->AliasName = kAlias;
    window->ApplyAlias();
    window->fgwMain->setOptions(0);
    window->cmboxReportType->setCurrentIndex(2);
    return window;
}

// The Usage report's query opened over the range, ready to lay out.
void openUsage(TFormSecDB& w, int rows)
{
    w.sqlUsers->setDatabaseName(kAlias);
    w.sqlAccess->setDatabaseName(kAlias);
    w.sqlLog->setDatabaseName(kAlias);
    w.sqlUsers->open();
    w.sqlAccess->open();
    w.sqlLog->setSQL(QStringLiteral("Select * from Log Where Log.Access_Date>=:AccessStartDate and "
                                    "Log.Access_Date<=:AccessEndDate Order by User_ID, Access_Date"));
    w.sqlLog->setParamDate(QStringLiteral("AccessStartDate"), kFirstDay);
    w.sqlLog->setParamDate(QStringLiteral("AccessEndDate"), kFirstDay.addDays(daysFor(rows) - 1));
    w.sqlLog->open();
    w.rdUsage->setSubTitle(QStringLiteral("Alias: ") + kAlias);
}

void BM_UsagePreview(benchmark::State& state)
{
    auto w = usageWindow(int(state.range(0)));
    for (auto _ : state) {
        w->spbtnExecute->click();
        benchmark::DoNotOptimize(w->fgwMain->pageCount());
    }
    state.counters["rows"] = double(state.range(0));
    state.counters["pages"] = w->fgwMain->pageCount();
}
BENCHMARK(BM_UsagePreview)->Arg(10000)->Arg(100000)->Unit(benchmark::kMillisecond)->Iterations(3);

void BM_UsageLayout(benchmark::State& state)
{
    const int rows = int(state.range(0));
    auto w = usageWindow(rows);
    openUsage(*w, rows);
    double bytesPerPage = 0;
    for (auto _ : state) {
        state.PauseTiming();
        w->fgwMain->Clear();
        malloc_trim(0);
        const size_t before = mallinfo2().uordblks;
        state.ResumeTiming();
        w->rdUsage->Execute();
        state.PauseTiming();
        bytesPerPage = double(mallinfo2().uordblks - before) / w->fgwMain->pageCount();
        state.ResumeTiming();
    }
    if (w->sqlLog->recordCount() != rows)
        state.SkipWithError("the range does not select the expected rows");
    state.counters["pages"] = w->fgwMain->pageCount();
    state.counters["bytes_per_page"] = bytesPerPage;
}
BENCHMARK(BM_UsageLayout)->Arg(10000)->Arg(100000)->Unit(benchmark::kMillisecond)->Iterations(3);

void BM_PaintPage(benchmark::State& state)
{
    auto w = usageWindow(10000);
    openUsage(*w, 10000);
    w->rdUsage->Execute();
    TFormGenWin* win = w->fgwMain;
    QImage image(win->pageImageSize(), QImage::Format_RGB32);
    int page = 1;
    for (auto _ : state) {
        // Pages spread over the whole report.
        page = page % win->pageCount() + 1;
        while (win->currentPage() < page)
            win->NextPage();
        while (win->currentPage() > page)
            win->PrevPage();
        image.fill(Qt::white);
        QPainter p(&image);
        win->paintPage(p, image.size());
    }
    state.counters["pages"] = win->pageCount();
}
BENCHMARK(BM_PaintPage)->Unit(benchmark::kMillisecond)->Iterations(200);

void BM_SavePdf(benchmark::State& state)
{
    auto w = usageWindow(10000);
    openUsage(*w, 10000);
    w->rdUsage->Execute();
    const QString file = kDir + QStringLiteral("/usage.pdf");
    for (auto _ : state) {
        if (!w->fgwMain->SaveToPdf(file, QStringLiteral("Usage Report")))
            state.SkipWithError("the PDF file could not be written");
    }
    const int pages = w->fgwMain->pageCount();
    state.counters["pages"] = pages;
    state.counters["pages_per_s"] = benchmark::Counter(double(pages) * state.iterations(), benchmark::Counter::kIsRate);
    state.counters["pdf_bytes_per_page"] = double(QFile(file).size()) / pages;
}
BENCHMARK(BM_SavePdf)->Unit(benchmark::kMillisecond)->Iterations(3);

// The floor to compare with: QPdfWriter painting the same texts at the same places in
// the same fonts, one drawText a cell, nothing else (no lines, no state kept).
void BM_SavePdfAnchor(benchmark::State& state)
{
    auto w = usageWindow(10000);
    openUsage(*w, 10000);
    w->rdUsage->Execute();
    const TFormGenWin& win = *w->fgwMain;
    const QString file = kDir + QStringLiteral("/anchor.pdf");
    for (auto _ : state) {
        QPdfWriter pdf(file);
        pdf.setResolution(1200);
        pdf.setPageSize(QPageSize(
            QSizeF(std::min(win.phyWidth(), win.phyHeight()) / 10.0, std::max(win.phyWidth(), win.phyHeight()) / 10.0),
            QPageSize::Inch));
        pdf.setPageOrientation(win.pageWidth() > win.pageHeight() ? QPageLayout::Landscape : QPageLayout::Portrait);
        pdf.setPageMargins(QMarginsF(0, 0, 0, 0));
        QPainter p(&pdf);
        int page = 1;
        for (const auto& cmd : win.commands()) {
            const auto* text = dynamic_cast<const TTextBoxCmd*>(cmd.get());
            if (!text)
                continue;
            for (; page < text->Page; ++page)
                pdf.newPage();
            p.setFont(text->State->Font.atPointSize());
            const QRectF r(text->X1 * 1200, text->Y1 * 1200, (text->X2 - text->X1) * 1200,
                           (text->Y2 - text->Y1) * 1200);
            p.drawText(r, Qt::AlignLeft | Qt::AlignTop | Qt::TextDontClip | Qt::TextSingleLine, text->Text);
        }
    }
    const int pages = win.pageCount();
    state.counters["pages"] = pages;
    state.counters["pages_per_s"] = benchmark::Counter(double(pages) * state.iterations(), benchmark::Counter::kIsRate);
    state.counters["pdf_bytes_per_page"] = double(QFile(file).size()) / pages;
}
BENCHMARK(BM_SavePdfAnchor)->Unit(benchmark::kMillisecond)->Iterations(3);
} // namespace

int main(int argc, char** argv) { return BenchDatabase::run(argc, argv, kDir, prepareDatabase); }
