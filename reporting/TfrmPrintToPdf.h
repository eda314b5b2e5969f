#pragma once
// TfrmPrintToPdf: the print dialog where no printer is installed. It asks for the
// PDF file to write, the number of copies, their collation and the pages; the
// program then writes the copies and the range into the file itself.

#include "reporting/PrintSetup.h"

#include <QDialog>

class QCheckBox;
class QLineEdit;
class QPushButton;
class QRadioButton;
class QSpinBox;

class TfrmPrintToPdf : public QDialog {
    Q_OBJECT
public:
    explicit TfrmPrintToPdf(QWidget* owner = nullptr);

    // Shows the document's pages, the preset range, copies and collation, and the
    // file proposed.
    void setChoice(const Reporting::TPrintChoice& choice, const QString& fileName);
    Reporting::TPrintChoice choice() const;
    // The file typed or browsed for, with ".pdf" added when it has no such ending.
    QString fileName() const;

    // The checks of OK: a file name, in a folder that exists, and leave to replace a
    // file of that name; false (after saying why) keeps the dialog open.
    bool FormCloseQuery();

    QLineEdit* edFileName;
    QPushButton* btnBrowse;
    QSpinBox* spinCopies;
    QCheckBox* ckbxCollate;
    QRadioButton* rbtnAllPages;
    QRadioButton* rbtnCurrentPage;
    QRadioButton* rbtnPages;
    QSpinBox* spinFromPage;
    QSpinBox* spinToPage;
    QPushButton* bbtnOk;
    QPushButton* bbtnCancel;

    void done(int result) override;

private:
    void btnBrowseClick();
    Reporting::TPrintChoice m_choice;
};
