#pragma once
// TformAbout (unit Frmabout): the about box: an animated logo, the program's name and
// version, the development team, the machine's memory and directories on the "System"
// page, and the command lines that start what the menus do not offer on the "Command
// Line" page.

#include <QDialog>
#include <QList>
#include <QPixmap>

class QLabel;
class QListWidget;
class QPushButton;
class QTabWidget;
class QTimer;
class TSysResource;

class TformAbout : public QDialog {
    Q_OBJECT
public:
    explicit TformAbout(QWidget* owner = nullptr);
    ~TformAbout() override;

    QWidget* pnlLogo = nullptr;
    QWidget* pbxLogo = nullptr;
    QLabel* lblProgName = nullptr;
    QLabel* lblVersion = nullptr;
    QLabel* lblLegal = nullptr;
    QPushButton* btnOk = nullptr;
    QTabWidget* tnbkInfo = nullptr;
    QLabel* lblProgrammers = nullptr;
    QListWidget* lbProgrammers = nullptr;
    TSysResource* SysResource1 = nullptr;
    QLabel* lblCommandLine = nullptr;
    QTimer* tmAnimation = nullptr;

    // The 24 logo frames, "BITMAP_1" to "BITMAP_24", and the one shown last (-1 before
    // the first tick).
    QList<QPixmap> Bitmaps;
    int FrameIndex = -1;

    void FormCreate();
    void FormDestroy();
    void tmAnimationTimer();
    void btnOkClick();

    static constexpr int FrameCount = 24;
    // Draws logo frame n (1 to 24): the project's own animation.
    static QPixmap LogoFrame(int n);
};

extern TformAbout* formAbout;

// What About on the main window does.
void ShowAbout(QWidget* owner);
