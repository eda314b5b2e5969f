#pragma once
// TFrmUsageDlg (unit Usgdlunt): asks for a start and an end date (the usage report's
// range). After OK the caller reads dedStart and dedEnd.

#include <QDialog>

class QLabel;
class QPushButton;
class TDateEdit;

class TFrmUsageDlg : public QDialog {
    Q_OBJECT
public:
    explicit TFrmUsageDlg(QWidget* owner = nullptr);
    ~TFrmUsageDlg() override;

    QLabel* lblStart = nullptr;
    TDateEdit* dedStart = nullptr;
    QLabel* lblEnd = nullptr;
    TDateEdit* dedEnd = nullptr;
    QPushButton* OKBtn = nullptr;
    QPushButton* CancelBtn = nullptr;
};

extern TFrmUsageDlg* FrmUsageDlg;
