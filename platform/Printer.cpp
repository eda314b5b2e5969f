#include "platform/Printer.h"

#include <QPushButton>
#include <QCoreApplication>
#include <QDialogButtonBox>
#include <QDir>
#include <QPrintDialog>
#include <QPrinter>
#include <QPrinterInfo>
#include <QStandardPaths>

namespace Platform {
namespace {
QPrinter* g_printer = nullptr;
bool g_chosen = false;

void freePrinter()
{
    delete g_printer;
    g_printer = nullptr;
}
} // namespace

QString defaultPdfFile()
{
    QString folder = QStandardPaths::writableLocation(QStandardPaths::DocumentsLocation);
    if (folder.isEmpty() || !QDir(folder).exists())
        folder = QDir::homePath();
    return QDir(folder).filePath(QStringLiteral("report.pdf"));
}

bool printersInstalled() { return !QPrinterInfo::availablePrinterNames().isEmpty(); }

QPrinter& printer()
{
    if (!g_printer) {
        g_printer = new QPrinter(QPrinter::HighResolution);
        if (!printersInstalled()) {
            g_printer->setOutputFormat(QPrinter::PdfFormat);
            g_printer->setOutputFileName(defaultPdfFile());
        }
        // Freed while the application object still exists: the print system's
        // plugin goes with it.
        qAddPostRoutine(freePrinter);
    }
    return *g_printer;
}

bool printerSetup(QWidget* parent)
{
    QPrinter& target = printer();
    QPrintDialog dialog(&target, parent);
    dialog.setObjectName(QStringLiteral("PrinterSetupDialog1"));
    dialog.setWindowTitle(QStringLiteral("Print Setup"));
    // Choosing the printer and its paper, not printing: no page range or copies here.
    dialog.setOption(QAbstractPrintDialog::PrintToFile, true);
    dialog.setOption(QAbstractPrintDialog::PrintSelection, false);
    dialog.setOption(QAbstractPrintDialog::PrintPageRange, false);
    dialog.setOption(QAbstractPrintDialog::PrintCurrentPage, false);
    for (QDialogButtonBox* box : dialog.findChildren<QDialogButtonBox*>())
        if (QPushButton* ok = box->button(QDialogButtonBox::Ok))
            ok->setText(QStringLiteral("OK"));
    if (dialog.exec() != QDialog::Accepted)
        return false;
    g_chosen = true;
    return true;
}

bool printerChosen() { return g_chosen; }

} // namespace Platform
