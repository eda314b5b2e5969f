#include "desktop/TformAbout.h"

#include "desktop/TSysResource.h"

#include <QFrame>
#include <QHBoxLayout>
#include <QLabel>
#include <QListWidget>
#include <QPainter>
#include <QPainterPath>
#include <QPushButton>
#include <QScreen>
#include <QTabWidget>
#include <QTimer>
#include <QVBoxLayout>

#include <cmath>

TformAbout* formAbout = nullptr;

namespace {

constexpr int LogoWidth = 110;
constexpr int LogoHeight = 72;

// Paints the current frame of the owner's logo.
class TLogoBox : public QWidget {
public:
    explicit TLogoBox(TformAbout* about, QWidget* parent) : QWidget(parent), m_about(about)
    {
        setObjectName(QStringLiteral("pbxLogo"));
        setFixedSize(LogoWidth, LogoHeight);
    }

protected:
    void paintEvent(QPaintEvent*) override
    {
        QPainter p(this);
        p.fillRect(rect(), palette().color(QPalette::Window));
        if (m_about->FrameIndex >= 0 && m_about->FrameIndex < m_about->Bitmaps.size())
            p.drawPixmap(0, 0, m_about->Bitmaps.at(m_about->FrameIndex));
    }

private:
    TformAbout* m_about;
};

} // namespace

// A padlock with a key turning in it and a light sweeping round its ring, once per
// 24 frames.
QPixmap TformAbout::LogoFrame(int n)
{
    QPixmap frame(LogoWidth, LogoHeight);
    frame.fill(QColor(0, 0, 128));
    QPainter p(&frame);
    p.setRenderHint(QPainter::Antialiasing);
    const double turn = (n - 1) * 2 * M_PI / FrameCount;

    // The ring, with a light travelling round it.
    const QPointF centre(30, 36);
    p.setPen(QPen(QColor(192, 192, 192), 4));
    p.drawEllipse(centre, 24, 24);
    for (int trail = 0; trail < 6; ++trail) {
        const double a = turn - trail * 0.18;
        const QPointF dot(centre.x() + 24 * std::cos(a), centre.y() + 24 * std::sin(a));
        p.setPen(Qt::NoPen);
        p.setBrush(QColor(255, 255 - trail * 30, 0, 255 - trail * 40));
        p.drawEllipse(dot, 3.5 - trail * 0.4, 3.5 - trail * 0.4);
    }

    // The padlock.
    p.setPen(QPen(QColor(220, 220, 220), 3));
    p.setBrush(Qt::NoBrush);
    p.drawArc(QRectF(22, 17, 16, 18), 0, 180 * 16);
    p.drawLine(QPointF(22, 26), QPointF(22, 30));
    p.drawLine(QPointF(38, 26), QPointF(38, 30));
    p.setPen(QPen(Qt::black, 1));
    p.setBrush(QColor(218, 165, 32));
    p.drawRoundedRect(QRectF(17, 29, 26, 20), 3, 3);

    // The key in the lock turns with the frames.
    p.save();
    p.translate(30, 39);
    p.rotate(std::fmod((n - 1) * 15.0, 360.0));
    p.setBrush(Qt::black);
    p.drawEllipse(QPointF(0, -2), 2.5, 2.5);
    p.drawRect(QRectF(-1, -1, 2, 7));
    p.restore();

    // The maker's letters.
    QFont letters(QStringLiteral("Liberation Serif"), 15, QFont::Bold);
    p.setFont(letters);
    p.setPen(QColor(255, 255, 255));
    p.drawText(QRectF(58, 10, 50, 26), Qt::AlignCenter, QStringLiteral("JOV"));
    QFont small(QStringLiteral("Liberation Sans"), 7, QFont::Bold);
    p.setFont(small);
    p.setPen(QColor(255, 215, 0));
    p.drawText(QRectF(56, 38, 54, 24), Qt::AlignCenter, QStringLiteral("C/S\nSecurity"));
    return frame;
}

TformAbout::TformAbout(QWidget* owner) : QDialog(owner)
{
    formAbout = this;
    setObjectName(QStringLiteral("formAbout"));
    setWindowTitle(QStringLiteral("JOV Application Information"));

    auto* logoFrame = new QFrame(this);
    logoFrame->setObjectName(QStringLiteral("pnlLogo"));
    logoFrame->setFrameShape(QFrame::Panel);
    logoFrame->setFrameShadow(QFrame::Sunken);
    pnlLogo = logoFrame;
    pbxLogo = new TLogoBox(this, pnlLogo);
    auto* logoLayout = new QVBoxLayout(pnlLogo);
    logoLayout->setContentsMargins(2, 2, 2, 2);
    logoLayout->addWidget(pbxLogo);

    QFont serif(QStringLiteral("Liberation Serif"));
    serif.setStyleHint(QFont::Serif);
    serif.setBold(true);
    lblProgName = new QLabel(this);
    lblProgName->setObjectName(QStringLiteral("lblProgName"));
    QFont large = serif;
    large.setPointSize(16);
    lblProgName->setFont(large);
    lblProgName->setAlignment(Qt::AlignCenter);
    lblProgName->setWordWrap(true);
    lblVersion = new QLabel(this);
    lblVersion->setObjectName(QStringLiteral("lblVersion"));
    QFont version = serif;
    version.setPointSize(11);
    lblVersion->setFont(version);
    lblVersion->setAlignment(Qt::AlignCenter);
    lblLegal = new QLabel(QStringLiteral("Warning: this computer program is protected by copyright law. Unauthorized "
                                         "reproduction or distribution of this program, or any portion of it, may "
                                         "result in civil and criminal penalties."),
                          this);
    lblLegal->setObjectName(QStringLiteral("lblLegal"));
    lblLegal->setWordWrap(true);

    tnbkInfo = new QTabWidget(this);
    tnbkInfo->setObjectName(QStringLiteral("tnbkInfo"));
    auto* development = new QWidget;
    lblProgrammers = new QLabel(QStringLiteral("Programmers"), development);
    lblProgrammers->setObjectName(QStringLiteral("lblProgrammers"));
    lbProgrammers = new QListWidget(development);
    lbProgrammers->setObjectName(QStringLiteral("lbProgrammers"));
    auto* contact = new QLabel(QStringLiteral("JOV Software Development\nsecurity-support@example.com"), development);
    contact->setObjectName(QStringLiteral("lblContact"));
    auto* devLayout = new QVBoxLayout(development);
    devLayout->addWidget(lblProgrammers);
    devLayout->addWidget(lbProgrammers);
    devLayout->addWidget(contact);
    tnbkInfo->addTab(development, QStringLiteral("Development"));
    auto* system = new QWidget;
    SysResource1 = new TSysResource(system);
    auto* sysLayout = new QVBoxLayout(system);
    sysLayout->addWidget(SysResource1);
    SysResource1->setMinimumSize(303, 110);
    tnbkInfo->addTab(system, QStringLiteral("System"));
    // The import is on no menu: this is where a user finds how to start it.
    lblCommandLine = new QLabel(
        QStringLiteral("<p><b>SecDesk --import DIR</b><br>Opens a security database, then imports the previous "
                       "version's files PRVSEC1.DBF to PRVSEC4.DBF from the folder DIR.</p>"
                       "<p><b>jovsecadm import DIR [--apply]</b><br>The same import from a script: without --apply "
                       "it lists what would be added, skipped or refused and writes nothing.</p>"
                       "<p><b>SecDesk --help</b>, <b>jovsecadm --help</b><br>Every option and command.</p>"));
    lblCommandLine->setObjectName(QStringLiteral("lblCommandLine"));
    lblCommandLine->setWordWrap(true);
    lblCommandLine->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    lblCommandLine->setTextInteractionFlags(Qt::TextSelectableByMouse | Qt::TextSelectableByKeyboard);
    auto* commandLine = new QWidget;
    auto* commandLayout = new QVBoxLayout(commandLine);
    commandLayout->addWidget(lblCommandLine);
    commandLayout->addStretch();
    tnbkInfo->addTab(commandLine, QStringLiteral("Command Line"));

    btnOk = new QPushButton(QStringLiteral("&Ok"), this);
    btnOk->setObjectName(QStringLiteral("btnOk"));
    btnOk->setDefault(true);
    connect(btnOk, &QPushButton::clicked, this, &TformAbout::btnOkClick);

    tmAnimation = new QTimer(this);
    tmAnimation->setObjectName(QStringLiteral("tmAnimation"));
    tmAnimation->setInterval(150);
    connect(tmAnimation, &QTimer::timeout, this, &TformAbout::tmAnimationTimer);

    auto* titles = new QVBoxLayout;
    titles->addWidget(lblProgName);
    titles->addWidget(lblVersion);
    auto* top = new QHBoxLayout;
    top->addWidget(pnlLogo, 0, Qt::AlignTop);
    top->addLayout(titles, 1);
    auto* buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(btnOk);
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(top);
    layout->addWidget(lblLegal);
    layout->addWidget(tnbkInfo);
    layout->addLayout(buttons);

    FormCreate();
    setFixedSize(420, sizeHint().height());
    if (const QScreen* screen = this->screen()) {
        QRect frame = frameGeometry();
        frame.moveCenter(screen->availableGeometry().center());
        move(frame.topLeft());
    }
}

TformAbout::~TformAbout()
{
    FormDestroy();
    if (formAbout == this)
        formAbout = nullptr;
}

void TformAbout::FormCreate()
{
    Bitmaps.clear();
    for (int n = 1; n <= FrameCount; ++n)
        Bitmaps.append(LogoFrame(n));
    FrameIndex = -1;
    SysResource1->setOptions(soShowVMemory | soShowPMemory | soShowSystemDir | soShowWindowsDir);
    SysResource1->setTabSpace(10);
    SysResource1->setTimerEnabled(true);
    SysResource1->setUpdateFrequency(65535);
    tmAnimation->start();
}

void TformAbout::FormDestroy()
{
    tmAnimation->stop();
    Bitmaps.clear();
}

void TformAbout::tmAnimationTimer()
{
    if (Bitmaps.isEmpty())
        return;
    FrameIndex = (FrameIndex + 1) % int(Bitmaps.size());
    pbxLogo->update();
}

void TformAbout::btnOkClick() { accept(); }

void ShowAbout(QWidget* owner)
{
    TformAbout about(owner);
    for (const char* name : {"Jorge Ortega", "Vera Lindqvist", "Olu Mensah"})
        about.lbProgrammers->addItem(QString::fromLatin1(name));
    about.lblVersion->setText(QStringLiteral("Client Server Version 1.0"));
    about.lblProgName->setText(QStringLiteral("JOV C/S Security Administration"));
    about.exec();
}
