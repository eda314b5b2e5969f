#include "reporting/TfrmPrintAbort.h"

#include <QGuiApplication>
#include <QLabel>
#include <QProgressBar>
#include <QPushButton>
#include <QScreen>
#include <QVBoxLayout>

TfrmPrintAbort::TfrmPrintAbort(const QString& printerName, QWidget* owner)
    : QDialog(owner, Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowSystemMenuHint)
{
    setObjectName(QStringLiteral("frmPrintAbort"));
    setWindowTitle(QStringLiteral("Printing current form ..."));
    // While the pages go out only this box takes keys and clicks: Ctrl+W would
    // delete the window being printed.
    setWindowModality(Qt::ApplicationModal);
    lblPrinterName = new QLabel(this);
    lblPrinterName->setObjectName(QStringLiteral("lblPrinterName"));
    lblPrinterName->setAlignment(Qt::AlignCenter);
    lblPrinterName->setWordWrap(true);
    if (!printerName.isEmpty())
        lblPrinterName->setText(QStringLiteral("on ") + printerName);
    prbarStat = new QProgressBar(this);
    prbarStat->setObjectName(QStringLiteral("prbarStat"));
    prbarStat->setRange(0, 100);
    prbarStat->setValue(0);
    BitBtn1 = new QPushButton(QStringLiteral("Abort"), this);
    BitBtn1->setObjectName(QStringLiteral("BitBtn1"));
    connect(BitBtn1, &QPushButton::clicked, this, [this] {
        m_aborted = true;
        emit abortRequested();
    });
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(lblPrinterName);
    layout->addWidget(prbarStat);
    layout->addWidget(BitBtn1, 0, Qt::AlignHCenter);
    resize(320, 120);
    if (const QScreen* screen = QGuiApplication::primaryScreen())
        move(screen->geometry().center() - rect().center());
}

// Escape and the window's close button abort the job, as the Abort button does.
void TfrmPrintAbort::reject() { BitBtn1->click(); }

void TfrmPrintAbort::SetProgress(int percent) { prbarStat->setValue(percent); }
