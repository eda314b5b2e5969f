#include "reporting/TfrmPlsWt.h"

#include <QGuiApplication>
#include <QLabel>
#include <QScreen>
#include <QVBoxLayout>

TfrmPlsWt::TfrmPlsWt(QWidget* owner)
    : QDialog(owner, Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowStaysOnTopHint)
{
    setObjectName(QStringLiteral("frmPlsWt"));
    setWindowTitle(QStringLiteral("Please Wait"));
    // While the report is built no key nor click reaches a window: Ctrl+W would
    // delete the window whose report is being built.
    setWindowModality(Qt::ApplicationModal);
    lblPleaseWait = new QLabel(QStringLiteral("Please Wait ..."), this);
    lblPleaseWait->setObjectName(QStringLiteral("lblPleaseWait"));
    QFont big = lblPleaseWait->font();
    big.setPointSize(18);
    big.setBold(true);
    big.setItalic(true);
    lblPleaseWait->setFont(big);
    lblPleaseWait->setAlignment(Qt::AlignCenter);
    lblMsg = new QLabel(this);
    lblMsg->setObjectName(QStringLiteral("lblMsg"));
    lblMsg->setAlignment(Qt::AlignCenter);
    lblMsg->setWordWrap(true);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(lblPleaseWait);
    layout->addWidget(lblMsg);
    setFixedSize(300, 110);
    if (const QScreen* screen = QGuiApplication::primaryScreen())
        move(screen->geometry().center() - rect().center());
}

void TfrmPlsWt::SetWaitMessage(const QString& text) { lblMsg->setText(text); }
