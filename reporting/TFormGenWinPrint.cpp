// Printing and PDF output of TFormGenWin: the recorded commands replayed page by
// page on a printer, or into a PDF file where no printer is installed. The PDF
// engine makes no copies and knows no page ranges, so copies, collation and ranges
// are done here for every device that cannot do them itself.
#include "reporting/TFormGenWin.h"

#include "platform/MessageBox.h"
#include "platform/Printer.h"
#include "reporting/PrintSetup.h"
#include "reporting/TfrmPrintAbort.h"

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QPainter>
#include <QPrinter>

#include <memory>

namespace {

// Restores the cursor however printing ends.
struct WaitCursor {
    WaitCursor() { QApplication::setOverrideCursor(Qt::WaitCursor); }
    ~WaitCursor() { QApplication::restoreOverrideCursor(); }
};

struct ReplayPlan {
    int from = 1;
    int to = 1;
    int loops = 1; // copies the program makes of the whole range
    int pageRepeats = 1; // copies of each page the device cannot make itself
};

void preparePdf(QPrinter& printer, const QString& fileName, const TFormGenWin& win)
{
    printer.setOutputFormat(QPrinter::PdfFormat);
    printer.setOutputFileName(fileName);
    // The paper of the report: the PDF page is the page laid out.
    const double w = std::min(win.phyWidth(), win.phyHeight()) / 10.0;
    const double h = std::max(win.phyWidth(), win.phyHeight()) / 10.0;
    if (w > 0 && h > 0)
        printer.setPageSize(QPageSize(QSizeF(w, h), QPageSize::Inch));
    printer.setFullPage(true);
    printer.setPageMargins(QMarginsF(0, 0, 0, 0));
}

bool isPdf(const QPrinter& printer) { return printer.outputFormat() == QPrinter::PdfFormat; }

// Replays the plan's pages; a job aborted in the abort box leaves no document.
void replay(const TFormGenWin& win, QPrinter& printer, const ReplayPlan& plan, TfrmPrintAbort* abortBox, QString* error)
{
    const QPageLayout::Orientation previous = printer.pageLayout().orientation();
    printer.setPageOrientation(win.pageWidth() > win.pageHeight() ? QPageLayout::Landscape : QPageLayout::Portrait);
    WaitCursor cursor;
    QPainter canvas;
    if (!canvas.begin(&printer)) {
        printer.setPageOrientation(previous);
        if (error)
            *error = isPdf(printer) ? QStringLiteral("Unable to write the file %1.")
                                          .arg(QDir::toNativeSeparators(printer.outputFileName()))
                                    : QStringLiteral("Unable to print on %1.").arg(printer.printerName());
        return;
    }
    // Commands measure from the paper's edge, the canvas from the printable area.
    const QPoint offset = printer.pageRect(QPrinter::DevicePixel).topLeft().toPoint() -
                          printer.paperRect(QPrinter::DevicePixel).topLeft().toPoint();
    const double scaleX = printer.logicalDpiX();
    const double scaleY = printer.logicalDpiY();
    const int count = win.commandCount();
    const int pages = plan.to - plan.from + 1;
    const bool onePage = pages == 1 && count > 1;
    bool aborted = false;
    const auto serve = [&](int percent) {
        if (!abortBox)
            return;
        abortBox->SetProgress(percent);
        QApplication::processEvents();
        aborted = abortBox->aborted();
    };
    for (int i = 1; i <= plan.loops && !aborted; ++i) {
        for (int p = plan.from; p <= plan.to && !aborted; ++p) {
            const auto [first, last] = win.pageRange(p);
            for (int r = 1; r <= plan.pageRepeats && !aborted; ++r) {
                if (!onePage)
                    serve(Rnd(double((i - 1) * pages + p - plan.from) / (pages * plan.loops) * 100));
                if (onePage) {
                    // One page of many commands: the progress follows the commands.
                    for (int k = first; k < last && !aborted; ++k) {
                        serve(Rnd(double((i - 1) * (count - 1) + k) / ((count - 1) * plan.loops) * 100));
                        if (!aborted)
                            win.commands()[size_t(k)]->PrintTo(-offset.x(), -offset.y(), scaleX, scaleY, canvas);
                    }
                } else {
                    win.replayPage(p, canvas, -offset, scaleX, scaleY);
                }
                const bool lastSheet = i == plan.loops && p == plan.to && r == plan.pageRepeats;
                if (!aborted && !lastSheet)
                    printer.newPage();
            }
        }
    }
    if (aborted) {
        printer.abort();
        canvas.end();
        // An aborted job leaves no document behind.
        if (isPdf(printer))
            QFile::remove(printer.outputFileName());
    } else {
        canvas.end();
    }
    printer.setPageOrientation(previous);
}

} // namespace

void TFormGenWin::Print() { print(m_options & foShowPrint); }

void TFormGenWin::PrintWithDialog() { print(true); }

void TFormGenWin::print(bool askFirst)
{
    using Reporting::TPrintChoice;
    // The printer chosen in Print Setup, with its settings; else a PDF file.
    std::unique_ptr<QPrinter> local;
    QPrinter* chosen = Reporting::programPrinter();
    // Print Setup's copies count unless the window asks for its own.
    const int setupCopies = chosen ? chosen->copyCount() : 1;
    const bool setupCollate = chosen && chosen->collateCopies();
    if (chosen && isPdf(*chosen)) {
        // The PDF file chosen in Print Setup, written on a printer of this job's own
        // so that the report's paper does not become the program's.
        local = std::make_unique<QPrinter>(QPrinter::HighResolution);
        QString file = chosen->outputFileName();
        // Left as it came, the file takes the report's name: reports do not overwrite
        // each other's file, and every question for the file suggests the same name.
        if (file == Platform::defaultPdfFile())
            file = QFileInfo(file).dir().filePath(Reporting::pdfFileNameFor(documentTitle()));
        preparePdf(*local, file, *this);
        chosen = local.get();
    }
    if (!chosen) {
        local = std::make_unique<QPrinter>(QPrinter::HighResolution);
        const QString printerName = Reporting::currentPrinterName();
        if (printerName.isEmpty())
            preparePdf(*local, QString(), *this);
        else
            local->setPrinterName(printerName);
        chosen = local.get();
    }
    QPrinter& printer = *chosen;

    TPrintChoice choice;
    choice.minPage = 1;
    choice.maxPage = m_pageCount;
    choice.fromPage = m_currentPage;
    choice.toPage = m_currentPage;
    choice.copies = m_printCopies > 0 ? m_printCopies : std::max(setupCopies, 1);
    choice.collate = m_printCollate || (m_printCopies <= 0 && setupCollate);
    printer.setDocName(documentTitle());
    printer.setCreator(QStringLiteral("SecDesk"));
    // The program's printer keeps its Print Setup copies for the next job.
    struct RestoreCopies {
        QPrinter& printer;
        int copies;
        bool collate;
        ~RestoreCopies()
        {
            printer.setCopyCount(copies);
            printer.setCollateCopies(collate);
        }
    } restoreCopies {printer, printer.copyCount(), printer.collateCopies()};

    std::unique_ptr<TfrmPrintAbort> abortBox;
    QString error;
    [&] {
        if (!askFirst) {
            choice.range = TPrintChoice::PageNums;
            choice.toPage = m_printToPage > 0 && m_printToPage <= m_pageCount ? m_printToPage : m_pageCount;
            choice.fromPage = m_printFromPage <= 0              ? 1
                              : m_printFromPage > choice.toPage ? choice.toPage
                                                                : m_printFromPage;
        } else if (!Reporting::showPrintDialog(printer, choice, window())) {
            return;
        }
        if (isPdf(printer) && printer.outputFileName().isEmpty()) {
            const QString file = Reporting::askPdfFileName(Reporting::pdfFileNameFor(documentTitle()), window());
            if (file.isEmpty())
                return;
            preparePdf(printer, file, *this);
        }

        // Copies: the device makes them where it can; else the program repeats.
        const bool deviceCopies = !isPdf(printer) && printer.supportsMultipleCopies();
        ReplayPlan plan;
        int copiesOnDevice = 1;
        const int c = choice.copies;
        if (c >= 2) {
            if (!choice.collate || deviceCopies)
                copiesOnDevice = c;
            else
                plan.loops = c;
        }
        if (deviceCopies) {
            printer.setCopyCount(copiesOnDevice);
            printer.setCollateCopies(choice.collate);
        } else {
            printer.setCopyCount(1);
            plan.pageRepeats = copiesOnDevice;
        }

        abortBox = std::make_unique<TfrmPrintAbort>(
            isPdf(printer) ? QDir::toNativeSeparators(printer.outputFileName()) : printer.printerName(), window());
        abortBox->show();
        QApplication::processEvents();

        switch (choice.range) {
        case TPrintChoice::AllPages:
            plan.from = 1;
            plan.to = m_pageCount;
            break;
        case TPrintChoice::Selection:
            plan.from = plan.to = m_currentPage;
            break;
        case TPrintChoice::PageNums:
            plan.from = std::max(choice.fromPage, 1);
            plan.to = std::min(choice.toPage, m_pageCount);
            break;
        }
        if (plan.from > plan.to)
            return;
        replay(*this, printer, plan, abortBox.get(), &error);
    }();
    abortBox.reset();
    notifyNavigator();
    if (!error.isEmpty())
        Platform::showError(error, window());
}
