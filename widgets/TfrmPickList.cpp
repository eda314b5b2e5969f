#include "widgets/TfrmPickList.h"

#include <QApplication>
#include <QDialogButtonBox>
#include <QLabel>
#include <QListWidget>
#include <QMainWindow>
#include <QPushButton>
#include <QScreen>
#include <QVBoxLayout>

TfrmPickList* frmPickList = nullptr;

namespace {

QWidget* mainWindow()
{
    for (QWidget* w : QApplication::topLevelWidgets())
        if (qobject_cast<QMainWindow*>(w) && w->isVisible())
            return w;
    return nullptr;
}

} // namespace

TfrmPickList::TfrmPickList(QWidget* owner) : QDialog(owner)
{
    setObjectName(QStringLiteral("frmPickList"));
    QFont bold = font();
    bold.setBold(true);
    setFont(bold);

    lblLabel = new QLabel(this);
    lblLabel->setObjectName(QStringLiteral("lblLabel"));
    lboxList = new QListWidget(this);
    lboxList->setObjectName(QStringLiteral("lboxList"));
    lblLabel->setBuddy(lboxList);
    bbtnOk = new QPushButton(QStringLiteral("Ok"), this);
    bbtnOk->setObjectName(QStringLiteral("bbtnOk"));
    bbtnOk->setDefault(true);
    bbtnCancel = new QPushButton(QStringLiteral("Cancel"), this);
    bbtnCancel->setObjectName(QStringLiteral("bbtnCancel"));

    auto* buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(bbtnOk);
    buttons->addWidget(bbtnCancel);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(lblLabel);
    layout->addWidget(lboxList);
    layout->addLayout(buttons);

    connect(bbtnOk, &QPushButton::clicked, this, &TfrmPickList::bbtnOkClick);
    connect(bbtnCancel, &QPushButton::clicked, this, &QDialog::reject);
    connect(lboxList, &QListWidget::itemDoubleClicked, this, &TfrmPickList::bbtnOkClick);

    resize(260, 240);
    setFixedSize(sizeHint().expandedTo(QSize(260, 240)));
}

void TfrmPickList::bbtnOkClick()
{
    const QList<QListWidgetItem*> selected = lboxList->selectedItems();
    PickedIndex = selected.isEmpty() ? -1 : lboxList->row(selected.first());
    accept();
}

int PickFromList(const QString& prompt, const QString& caption, const QStringList& items, QWidget* owner, int selected)
{
    TfrmPickList dialog(owner ? owner : mainWindow());
    frmPickList = &dialog;
    dialog.lblLabel->setText(prompt);
    dialog.setWindowTitle(caption);
    dialog.lboxList->addItems(items);
    if (selected >= 0 && selected < items.size())
        dialog.lboxList->setCurrentRow(selected);
    if (const QScreen* screen = dialog.screen()) {
        QRect frame = dialog.frameGeometry();
        frame.moveCenter(screen->availableGeometry().center());
        dialog.move(frame.topLeft());
    }
    const int result = dialog.exec();
    frmPickList = nullptr;
    return result == QDialog::Accepted ? dialog.PickedIndex : -1;
}
