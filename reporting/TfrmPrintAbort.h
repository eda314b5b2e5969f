#pragma once
// TfrmPrintAbort (unit Prtabunt): progress of a print job, with the button that aborts it.

#include <QDialog>

class QLabel;
class QProgressBar;
class QPushButton;

class TfrmPrintAbort : public QDialog {
    Q_OBJECT
public:
    // printerName: the device printed on; empty when there is none.
    explicit TfrmPrintAbort(const QString& printerName, QWidget* owner = nullptr);

    void SetProgress(int percent);
    bool aborted() const { return m_aborted; }
    void reject() override;

    QLabel* lblPrinterName;
    QProgressBar* prbarStat;
    QPushButton* BitBtn1;

signals:
    // The user asked to abort the job.
    void abortRequested();

private:
    bool m_aborted = false;
};
