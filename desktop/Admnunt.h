#pragma once
// The administration desktop's main window.

#include <QMainWindow>

class QLabel;
class TDatabase;

class TFormAdmin : public QMainWindow {
    Q_OBJECT
public:
    explicit TFormAdmin(QWidget* parent = nullptr);
    ~TFormAdmin() override;

    // The alias of the open security database; empty when none is open.
    QString OpenAlias;
    TDatabase* Database1 = nullptr;

    QLabel* StatusLine = nullptr;
};

extern TFormAdmin* FormAdmin;
