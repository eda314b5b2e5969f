#pragma once
// How printing reaches the user: which printer reports print on, the print dialog,
// and the question for a PDF file where no printer is installed. Tests replace the
// dialog and the question so that no test waits on a window.

#include <QString>

#include <functional>

class QPrinter;
class QWidget;

namespace Reporting {

// What the print dialog chose.
struct TPrintChoice {
    enum Range { AllPages, Selection, PageNums };
    int minPage = 1;
    int maxPage = 1;
    Range range = AllPages;
    int fromPage = 1;
    int toPage = 1;
    int copies = 1;
    bool collate = false;
};

// The printer reports print on: the one chosen in Print Setup, else the system's
// default; empty when no printer is installed (printing then writes a PDF file).
QString currentPrinterName();
// The program's printer with the settings of Print Setup (where no printer is
// installed, the PDF file and copies chosen there); null where no printer is
// installed and Print Setup was not confirmed, or a test chose the printer.
QPrinter* programPrinter();

// Whether no printer is installed (or a test chose none): printing writes PDF files.
bool noPrinterInstalled();
// Shows the print dialog for the printer; where no printer is installed, the
// dialog asks for the PDF file too and names it on the printer. False when the
// user cancels.
bool showPrintDialog(QPrinter& printer, TPrintChoice& choice, QWidget* parent);
// Asks for the PDF file to print into; empty when the user cancels.
QString askPdfFileName(const QString& suggestedName, QWidget* parent);
// The name every question for a report's PDF file suggests: the report's title with
// underscores for spaces and for what no file name may hold ("Audit_Trail_Report.pdf"),
// "Report.pdf" for a report without a title.
QString pdfFileNameFor(const QString& title);

using PrintDialogHandler = std::function<bool(QPrinter& printer, TPrintChoice& choice)>;
using PdfFileHandler = std::function<QString(const QString& suggestedName)>;
using PrinterNameHandler = std::function<QString()>;
// An empty function restores the real dialogs and the system's printers.
void setPrintDialogHandler(PrintDialogHandler handler);
void setPdfFileHandler(PdfFileHandler handler);
void setPrinterNameHandler(PrinterNameHandler handler);

} // namespace Reporting
