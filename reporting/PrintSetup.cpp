#include "reporting/PrintSetup.h"

#include "platform/Printer.h"
#include "reporting/TfrmPrintToPdf.h"

#include <QDir>
#include <QFileDialog>
#include <QPrintDialog>
#include <QPrinter>
#include <QRegularExpression>

namespace Reporting {

namespace {
PrintDialogHandler& dialogHandler()
{
    static PrintDialogHandler handler;
    return handler;
}
PdfFileHandler& pdfHandler()
{
    static PdfFileHandler handler;
    return handler;
}
PrinterNameHandler& printerHandler()
{
    static PrinterNameHandler handler;
    return handler;
}
} // namespace

void setPrintDialogHandler(PrintDialogHandler handler) { dialogHandler() = std::move(handler); }
void setPdfFileHandler(PdfFileHandler handler) { pdfHandler() = std::move(handler); }
void setPrinterNameHandler(PrinterNameHandler handler) { printerHandler() = std::move(handler); }

QString currentPrinterName()
{
    if (printerHandler())
        return printerHandler()();
    return Platform::printersInstalled() ? Platform::printer().printerName() : QString();
}

bool noPrinterInstalled()
{
    if (printerHandler())
        return printerHandler()().isEmpty();
    return !Platform::printersInstalled();
}

QPrinter* programPrinter()
{
    if (printerHandler())
        return nullptr;
    if (Platform::printersInstalled() || Platform::printerChosen())
        return &Platform::printer();
    return nullptr;
}

bool showPrintDialog(QPrinter& printer, TPrintChoice& choice, QWidget* parent)
{
    if (dialogHandler())
        return dialogHandler()(printer, choice);
    if (noPrinterInstalled()) {
        // The system's print dialog would offer nothing but a file: ask for the PDF
        // file with the copies and pages the program will write into it.
        TfrmPrintToPdf dialog(parent);
        const QString file = printer.outputFileName();
        dialog.setChoice(choice, file.isEmpty() ? QDir::home().filePath(pdfFileNameFor(printer.docName())) : file);
        if (dialog.exec() != QDialog::Accepted)
            return false;
        choice = dialog.choice();
        printer.setOutputFileName(dialog.fileName());
        return true;
    }
    QPrintDialog dialog(&printer, parent);
    dialog.setOptions(QAbstractPrintDialog::PrintPageRange | QAbstractPrintDialog::PrintSelection |
                      QAbstractPrintDialog::PrintCollateCopies | QAbstractPrintDialog::PrintShowPageSize);
    dialog.setMinMax(choice.minPage, choice.maxPage);
    printer.setFromTo(choice.fromPage, choice.toPage);
    printer.setCopyCount(choice.copies);
    printer.setCollateCopies(choice.collate);
    if (dialog.exec() != QDialog::Accepted)
        return false;
    switch (printer.printRange()) {
    case QPrinter::Selection:
        choice.range = TPrintChoice::Selection;
        break;
    case QPrinter::PageRange:
        choice.range = TPrintChoice::PageNums;
        break;
    default:
        choice.range = TPrintChoice::AllPages;
    }
    choice.fromPage = printer.fromPage();
    choice.toPage = printer.toPage();
    choice.copies = printer.copyCount();
    choice.collate = printer.collateCopies();
    return true;
}

QString pdfFileNameFor(const QString& title)
{
    QString name = title.trimmed().isEmpty() ? QStringLiteral("Report") : title.trimmed();
    // A title is free text: a slash or colon in it must not make a path of the name.
    static const QRegularExpression notInFileNames(QStringLiteral(R"([\s/\\:*?"<>|]|[\x00-\x1f])"));
    name.replace(notInFileNames, QStringLiteral("_"));
    return name + QStringLiteral(".pdf");
}

QString askPdfFileName(const QString& suggestedName, QWidget* parent)
{
    if (pdfHandler())
        return pdfHandler()(suggestedName);
    QString name =
        QFileDialog::getSaveFileName(parent, QStringLiteral("Print to PDF File"), QDir::home().filePath(suggestedName),
                                     QStringLiteral("PDF Files (*.pdf)"));
    if (!name.isEmpty() && !name.endsWith(QLatin1String(".pdf"), Qt::CaseInsensitive))
        name += QLatin1String(".pdf");
    return name;
}

} // namespace Reporting
