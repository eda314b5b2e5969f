#include "widgets/TFrmUsageDlg.h"

#include "widgets/TDateEdit.h"

#include <QDate>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QScreen>

TFrmUsageDlg* FrmUsageDlg = nullptr;

TFrmUsageDlg::TFrmUsageDlg(QWidget* owner) : QDialog(owner)
{
    FrmUsageDlg = this;
    setObjectName(QStringLiteral("FrmUsageDlg"));
    setWindowTitle(QStringLiteral("Select Ranges"));

    // The range the dialog was stored with.
    const QDate initial(1998, 4, 6);
    lblStart = new QLabel(QStringLiteral("Start Date:"), this);
    lblStart->setObjectName(QStringLiteral("lblStart"));
    dedStart = new TDateEdit(this);
    dedStart->setObjectName(QStringLiteral("dedStart"));
    dedStart->setDate(initial);
    lblStart->setBuddy(dedStart);
    lblEnd = new QLabel(QStringLiteral("Ending Date:"), this);
    lblEnd->setObjectName(QStringLiteral("lblEnd"));
    dedEnd = new TDateEdit(this);
    dedEnd->setObjectName(QStringLiteral("dedEnd"));
    dedEnd->setDate(initial);
    lblEnd->setBuddy(dedEnd);
    dedStart->ValidDateColor = Qt::blue;
    dedEnd->ValidDateColor = Qt::blue;

    OKBtn = new QPushButton(QStringLiteral("OK"), this);
    OKBtn->setObjectName(QStringLiteral("OKBtn"));
    OKBtn->setDefault(true);
    CancelBtn = new QPushButton(QStringLiteral("Cancel"), this);
    CancelBtn->setObjectName(QStringLiteral("CancelBtn"));
    connect(OKBtn, &QPushButton::clicked, this, &QDialog::accept);
    connect(CancelBtn, &QPushButton::clicked, this, &QDialog::reject);

    auto* fields = new QGridLayout;
    fields->addWidget(lblStart, 0, 0);
    fields->addWidget(dedStart, 0, 1);
    fields->addWidget(lblEnd, 1, 0);
    fields->addWidget(dedEnd, 1, 1);
    fields->setColumnMinimumWidth(1, 130);
    auto* buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(OKBtn);
    buttons->addWidget(CancelBtn);
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(fields);
    layout->addLayout(buttons);

    setFixedSize(sizeHint());
    if (const QScreen* screen = this->screen()) {
        QRect frame = frameGeometry();
        frame.moveCenter(screen->availableGeometry().center());
        move(frame.topLeft());
    }
}

TFrmUsageDlg::~TFrmUsageDlg()
{
    if (FrmUsageDlg == this)
        FrmUsageDlg = nullptr;
}
