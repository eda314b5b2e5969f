#include "reporting/TfrmPrintToPdf.h"

#include "platform/FormControls.h"
#include "platform/MessageBox.h"

#include <QCheckBox>
#include <QDialogButtonBox>
#include <QDir>
#include <QFileDialog>
#include <QFileInfo>
#include <QFormLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QSignalBlocker>
#include <QSpinBox>
#include <QVBoxLayout>

using Platform::named;
using Reporting::TPrintChoice;

TfrmPrintToPdf::TfrmPrintToPdf(QWidget* owner) : QDialog(owner)
{
    setObjectName(QStringLiteral("frmPrintToPdf"));
    setWindowTitle(QStringLiteral("Print to PDF File"));

    auto* file = new QHBoxLayout;
    edFileName = named(new QLineEdit(this), "edFileName");
    edFileName->setMinimumWidth(280);
    btnBrowse = named(new QPushButton(QStringLiteral("&Browse..."), this), "btnBrowse");
    btnBrowse->setAutoDefault(false);
    file->addWidget(edFileName, 1);
    file->addWidget(btnBrowse);
    auto* fileLabel = new QLabel(QStringLiteral("&File name:"), this);
    fileLabel->setBuddy(edFileName);

    auto* copies = new QGroupBox(QStringLiteral("Copies"), this);
    spinCopies = named(new QSpinBox(copies), "spinCopies");
    spinCopies->setRange(1, 999);
    ckbxCollate = named(new QCheckBox(QStringLiteral("C&ollate"), copies), "ckbxCollate");
    auto* copiesLabel = new QLabel(QStringLiteral("&Number of copies:"), copies);
    copiesLabel->setBuddy(spinCopies);
    auto* copiesRow = new QHBoxLayout(copies);
    copiesRow->addWidget(copiesLabel);
    copiesRow->addWidget(spinCopies);
    copiesRow->addSpacing(16);
    copiesRow->addWidget(ckbxCollate);
    copiesRow->addStretch();
    // Collation means something only for more than one copy.
    connect(spinCopies, &QSpinBox::valueChanged, ckbxCollate, [this](int n) { ckbxCollate->setEnabled(n > 1); });

    auto* range = new QGroupBox(QStringLiteral("Page range"), this);
    rbtnAllPages = named(new QRadioButton(QStringLiteral("&All pages"), range), "rbtnAllPages");
    rbtnCurrentPage = named(new QRadioButton(QStringLiteral("C&urrent page"), range), "rbtnCurrentPage");
    rbtnPages = named(new QRadioButton(QStringLiteral("&Pages from"), range), "rbtnPages");
    spinFromPage = named(new QSpinBox(range), "spinFromPage");
    spinToPage = named(new QSpinBox(range), "spinToPage");
    auto* toLabel = new QLabel(QStringLiteral("&to"), range);
    toLabel->setBuddy(spinToPage);
    auto* pagesRow = new QHBoxLayout;
    pagesRow->addWidget(rbtnPages);
    pagesRow->addWidget(spinFromPage);
    pagesRow->addWidget(toLabel);
    pagesRow->addWidget(spinToPage);
    pagesRow->addStretch();
    auto* rangeBox = new QVBoxLayout(range);
    rangeBox->addWidget(rbtnAllPages);
    rangeBox->addWidget(rbtnCurrentPage);
    rangeBox->addLayout(pagesRow);
    // Typing a page number chooses the pages, and the range never runs backwards.
    connect(spinFromPage, &QSpinBox::valueChanged, this, [this](int from) {
        rbtnPages->setChecked(true);
        if (spinToPage->value() < from)
            spinToPage->setValue(from);
    });
    connect(spinToPage, &QSpinBox::valueChanged, this, [this](int to) {
        rbtnPages->setChecked(true);
        if (spinFromPage->value() > to)
            spinFromPage->setValue(to);
    });

    auto* buttons = new QDialogButtonBox(this);
    bbtnOk = named(buttons->addButton(QStringLiteral("OK"), QDialogButtonBox::AcceptRole), "bbtnOk");
    bbtnCancel = named(buttons->addButton(QStringLiteral("Cancel"), QDialogButtonBox::RejectRole), "bbtnCancel");
    bbtnOk->setDefault(true);
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    connect(btnBrowse, &QPushButton::clicked, this, [this] { btnBrowseClick(); });

    auto* form = new QFormLayout;
    form->addRow(fileLabel, file);
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(form);
    layout->addWidget(copies);
    layout->addWidget(range);
    layout->addWidget(buttons);
    setChoice(TPrintChoice(), QString());
}

void TfrmPrintToPdf::setChoice(const TPrintChoice& choice, const QString& fileName)
{
    m_choice = choice;
    edFileName->setText(QDir::toNativeSeparators(fileName));
    spinCopies->setValue(std::max(choice.copies, 1));
    ckbxCollate->setChecked(choice.collate);
    ckbxCollate->setEnabled(spinCopies->value() > 1);
    const QSignalBlocker fromQuiet(spinFromPage);
    const QSignalBlocker toQuiet(spinToPage);
    for (QSpinBox* spin : {spinFromPage, spinToPage})
        spin->setRange(choice.minPage, std::max(choice.maxPage, choice.minPage));
    spinFromPage->setValue(choice.fromPage);
    spinToPage->setValue(std::max(choice.toPage, spinFromPage->value()));
    rbtnAllPages->setChecked(choice.range == TPrintChoice::AllPages);
    rbtnCurrentPage->setChecked(choice.range == TPrintChoice::Selection);
    rbtnPages->setChecked(choice.range == TPrintChoice::PageNums);
}

TPrintChoice TfrmPrintToPdf::choice() const
{
    TPrintChoice c = m_choice;
    c.range = rbtnPages->isChecked()         ? TPrintChoice::PageNums
              : rbtnCurrentPage->isChecked() ? TPrintChoice::Selection
                                             : TPrintChoice::AllPages;
    if (c.range == TPrintChoice::PageNums) {
        c.fromPage = spinFromPage->value();
        c.toPage = spinToPage->value();
    }
    c.copies = spinCopies->value();
    c.collate = ckbxCollate->isChecked();
    return c;
}

QString TfrmPrintToPdf::fileName() const
{
    QString name = QDir::fromNativeSeparators(edFileName->text().trimmed());
    if (name.isEmpty())
        return name;
    if (!name.endsWith(QLatin1String(".pdf"), Qt::CaseInsensitive))
        name += QLatin1String(".pdf");
    return QFileInfo(name).absoluteFilePath();
}

bool TfrmPrintToPdf::FormCloseQuery()
{
    const QString name = fileName();
    if (name.isEmpty()) {
        Platform::showError(QStringLiteral("Please enter the name of the PDF file."));
        edFileName->setFocus();
        return false;
    }
    const QFileInfo info(name);
    if (!info.dir().exists()) {
        Platform::showError(QStringLiteral("The folder %1 does not exist.").arg(QDir::toNativeSeparators(info.path())));
        edFileName->setFocus();
        return false;
    }
    if (info.exists() &&
        !Platform::askYesNo(
            QStringLiteral("%1 already exists.\nDo you want to replace it?").arg(QDir::toNativeSeparators(name)),
            Platform::MsgKind::Warning)) {
        edFileName->setFocus();
        return false;
    }
    return true;
}

void TfrmPrintToPdf::done(int result)
{
    if (result == QDialog::Accepted && !FormCloseQuery())
        return;
    QDialog::done(result);
}

void TfrmPrintToPdf::btnBrowseClick()
{
    const QString start = fileName().isEmpty() ? QDir::homePath() : fileName();
    const QString name = QFileDialog::getSaveFileName(this, windowTitle(), start, QStringLiteral("PDF Files (*.pdf)"),
                                                      nullptr, QFileDialog::DontConfirmOverwrite);
    if (!name.isEmpty())
        edFileName->setText(QDir::toNativeSeparators(name));
}
