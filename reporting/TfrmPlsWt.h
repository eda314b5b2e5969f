#pragma once
// TfrmPlsWt (unit Plswtunt): the "Please Wait" box shown while a report is being built.

#include <QDialog>

class QLabel;

class TfrmPlsWt : public QDialog {
    Q_OBJECT
public:
    explicit TfrmPlsWt(QWidget* owner = nullptr);

    void SetWaitMessage(const QString& text);

    QLabel* lblPleaseWait;
    QLabel* lblMsg;
};
