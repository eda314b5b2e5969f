#include "reporting/TFormSecDB.h"

#include "database/EDatabaseError.h"
#include "widgets/TFrmUsageDlg.h"
#include "platform/MessageBox.h"
#include "reporting/TFormGenNav.h"
#include "reporting/TFormGenWin.h"
#include "reporting/PrintSetup.h"
#include "reporting/TReportDesign.h"
#include "reporting/TReportDefinitions.h"
#include "reporting/TReportDesignStore.h"

#include "widgets/GuardedCommand.h"
#include <QCloseEvent>
#include <algorithm>
#include <QComboBox>
#include <QDir>
#include <QHBoxLayout>
#include <QLabel>
#include <QGuiApplication>
#include <QPainter>
#include <QScreen>
#include <QSettings>
#include <QToolButton>
#include <QVBoxLayout>
#include "widgets/TDateEdit.h"

using Widgets::guarded;

TFormSecDB* FormSecDB = nullptr;

namespace {

TFormSecDB::RangeDialog& rangeDialog()
{
    static TFormSecDB::RangeDialog dialog;
    return dialog;
}

QIcon glyph(int kind)
{
    QPixmap pixmap(20, 20);
    pixmap.fill(Qt::transparent);
    QPainter p(&pixmap);
    p.setRenderHint(QPainter::Antialiasing);
    p.setPen(Qt::black);
    p.setBrush(Qt::white);
    p.drawRect(3, 1, 12, 17);
    for (int y = 5; y < 16; y += 3)
        p.drawLine(5, y, 13, y);
    if (kind == 0) { // preview: a magnifier
        p.setBrush(QColor(180, 220, 255));
        p.drawEllipse(8, 8, 8, 8);
        p.setPen(QPen(Qt::black, 2));
        p.drawLine(15, 15, 19, 19);
    } else if (kind == 1) { // modify: a pencil
        p.setPen(QPen(QColor(200, 120, 0), 3));
        p.drawLine(8, 18, 18, 8);
    } else { // PDF: a red band
        p.setPen(Qt::NoPen);
        p.setBrush(QColor(200, 0, 0));
        p.drawRect(6, 11, 13, 7);
        p.setPen(Qt::white);
        QFont f = p.font();
        f.setPixelSize(6);
        f.setBold(true);
        p.setFont(f);
        p.drawText(QRect(6, 11, 13, 7), Qt::AlignCenter, QStringLiteral("PDF"));
    }
    return QIcon(pixmap);
}

} // namespace

void TFormSecDB::setUsageRangeDialog(RangeDialog dialog) { rangeDialog() = std::move(dialog); }

bool TFormSecDB::askUsageRange(QWidget* owner, QDate& start, QDate& end)
{
    if (rangeDialog())
        return rangeDialog()(owner, start, end);
    TFrmUsageDlg dialog(owner);
    FrmUsageDlg = &dialog;
    if (start.isValid())
        dialog.dedStart->setDate(start);
    if (end.isValid())
        dialog.dedEnd->setDate(end);
    const bool ok = dialog.exec() == QDialog::Accepted;
    FrmUsageDlg = nullptr;
    if (ok) {
        start = dialog.dedStart->date();
        end = dialog.dedEnd->date();
    }
    return ok;
}

TFormSecDB::TFormSecDB(QWidget* owner) : QWidget(owner, Qt::Window)
{
    setObjectName(QStringLiteral("FormSecDB"));
    setWindowTitle(QStringLiteral("Reporting"));
    setAttribute(Qt::WA_DeleteOnClose, false);
    createControls();
    createReports();
    resize(820, 600);
}

TFormSecDB::~TFormSecDB()
{
    if (FormSecDB == this)
        FormSecDB = nullptr;
    if (onDestroyed)
        onDestroyed();
}

void TFormSecDB::createControls()
{
    pnlTopArea = new QFrame(this);
    pnlTopArea->setObjectName(QStringLiteral("pnlTopArea"));
    pnlTopArea->setFrameStyle(QFrame::Panel | QFrame::Raised);
    // 51 high at the least; the navigator's row below the report's row may need more.
    pnlTopArea->setMinimumHeight(51);
    pnlTopArea->setSizePolicy(QSizePolicy::Preferred, QSizePolicy::Fixed);
    lblReport = new QLabel(QStringLiteral("Report:"), pnlTopArea);
    lblReport->setObjectName(QStringLiteral("lblReport"));
    cmboxReportType = new QComboBox(pnlTopArea);
    cmboxReportType->setObjectName(QStringLiteral("cmboxReportType"));
    cmboxReportType->addItems(TReportDefinitions::names());
    cmboxReportType->setCurrentIndex(-1);
    cmboxReportType->setMinimumWidth(160);
    lblReport->setBuddy(cmboxReportType);
    const auto tool = [this](const QString& name, const QString& hint, int kind) {
        auto* b = new QToolButton(pnlTopArea);
        b->setObjectName(name);
        b->setToolTip(hint);
        b->setIcon(glyph(kind));
        b->setIconSize(QSize(20, 20));
        b->setAutoRaise(true);
        return b;
    };
    spbtnExecute = tool(QStringLiteral("spbtnExecute"), QStringLiteral("Preview Report"), 0);
    spbtnDesign = tool(QStringLiteral("spbtnDesign"), QStringLiteral("Modify Report"), 1);
    spbtnSavePdf = tool(QStringLiteral("spbtnSavePdf"), QStringLiteral("Save as PDF"), 2);
    connect(spbtnExecute, &QToolButton::clicked, this,
            [this] { guarded([this] { spbtnExecuteClick(spbtnExecute); }); });
    connect(spbtnDesign, &QToolButton::clicked, this, [this] { guarded([this] { spbtnExecuteClick(spbtnDesign); }); });
    connect(spbtnSavePdf, &QToolButton::clicked, this, [this] { guarded([this] { SaveAsPdfClick(); }); });

    fgwMain = new TFormGenWin(this);
    fgwMain->setObjectName(QStringLiteral("fgwMain"));
    fgwMain->setAlignment(Qt::AlignLeft);
    fgwMain->setOptions(foShowDialog);
    fgwMain->setLineWidth(4);

    fgnReport = new TFormGenNav(pnlTopArea);
    fgnReport->setObjectName(QStringLiteral("fgnReport"));
    fgnReport->setVisibleButtons(visBtn(nbZoom) | visBtn(nbPrint) | visBtn(nbPrevPage) | visBtn(nbNextPage) |
                                 visBtn(nbClear) | visBtn(nbPrintDialog) | visBtn(nbFirstPage) | visBtn(nbLastPage) |
                                 visBtn(nbPageBox));
    // The stored hints name the visible buttons; the hidden build button has none.
    fgnReport->setHints({QString(), QStringLiteral("Print"), QStringLiteral("Previous Page"),
                         QStringLiteral("Next Page"), QStringLiteral("Clear"), QStringLiteral("Zoom")});
    fgnReport->setFormComponent(fgwMain);
    fgnReport->setFixedSize(fgnReport->sizeHint());

    // The report's row, and below it the navigator's, so that a narrow window shows
    // every control.
    auto* rows = new QVBoxLayout(pnlTopArea);
    rows->setContentsMargins(4, 2, 4, 2);
    rows->setSpacing(2);
    auto* row = new QHBoxLayout;
    row->addWidget(lblReport);
    row->addWidget(cmboxReportType);
    row->addWidget(spbtnExecute);
    row->addWidget(spbtnDesign);
    row->addStretch();
    auto* navRow = new QHBoxLayout;
    navRow->addWidget(fgnReport);
    navRow->addWidget(spbtnSavePdf);
    navRow->addStretch();
    rows->addLayout(row);
    rows->addLayout(navRow);

    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);
    layout->addWidget(pnlTopArea);
    layout->addWidget(fgwMain, 1);
}

void TFormSecDB::createReports()
{
    definitions = new TReportDefinitions(this);
    definitions->setPages(fgwMain);
    QryAccess = definitions->QryAccess;
    qryGroups = definitions->qryGroups;
    sqlLog = definitions->sqlLog;
    sqlUsers = definitions->sqlUsers;
    sqlAccess = definitions->sqlAccess;
    qryReport = definitions->qryReport;
    qryUserAcc = definitions->qryUserAcc;
    sqlGroupsTable = definitions->sqlGroupsTable;
    sqlUserAccTable = definitions->sqlUserAccTable;
    qryAuditTrail = definitions->qryAuditTrail;
    rdAccess = definitions->rdAccess;
    rdGroups = definitions->rdGroups;
    rdUsage = definitions->rdUsage;
    rdUsers = definitions->rdUsers;
    rdUserAcc = definitions->rdUserAcc;
    rdAuditTrail = definitions->rdAuditTrail;
}

TReportDesign* TFormSecDB::report(int index) const { return definitions->report(index); }

void TFormSecDB::ApplyAlias()
{
    setWindowTitle(QStringLiteral("Security in ") + AliasName);
    definitions->setAliasName(AliasName);
}

void TFormSecDB::spbtnExecuteClick(QObject* sender)
{
    const int index = cmboxReportType->currentIndex();
    TReportDesign* rd = report(index);
    if (!rd)
        return;
    definitions->setAliasName(AliasName);
    const QString unavailable = definitions->unavailable(index);
    if (!unavailable.isEmpty()) {
        Platform::showError(unavailable, this);
        return;
    }
    QDate start, end;
    if (TReportDefinitions::hasRange(index)) {
        // The range offered first is the data's own: its first and last day.
        std::tie(start, end) = definitions->span(index);
        if (!start.isValid())
            start = end = QDate::currentDate();
        if (!askUsageRange(this, start, end))
            return;
    }
    definitions->open(index, start, end);
    definitions->prepare(index);
    if (sender && sender->objectName() == QLatin1String("spbtnDesign")) {
        TReportDesign::Keeping keeping;
        keeping.place = TReportDesignStore(AliasName).placeOf(rd->objectName()) == TReportDesignStore::InDatabaseFolder;
        if (rd->Design(&keeping))
            definitions->keepDesign(index, keeping.place == 1 ? TReportDesignStore::InDatabaseFolder
                                                              : TReportDesignStore::WithAlias);
        else if (keeping.restoreDefault)
            definitions->restoreDefaultDesign(index);
    }
    rd->Execute();
    m_lastBuilt = index;
    definitions->close(index);
}

QString TFormSecDB::designPlace(int index) const { return definitions->designPlace(index); }

bool TFormSecDB::SaveAsPdf(const QString& fileName)
{
    const TReportDesign* rd = report(m_lastBuilt);
    QString error;
    if (!fgwMain->SaveToPdf(fileName, rd ? rd->title() : windowTitle(), &error)) {
        Platform::showError(error, this);
        return false;
    }
    return true;
}

void TFormSecDB::SaveAsPdfClick()
{
    if (fgwMain->commandCount() == 0)
        return;
    const TReportDesign* rd = report(m_lastBuilt);
    const QString file = Reporting::askPdfFileName(Reporting::pdfFileNameFor(rd ? rd->title() : QString()), this);
    if (!file.isEmpty())
        SaveAsPdf(file);
}

namespace {
const QString geometryKey = QStringLiteral("ReportsWindow/Geometry");
}

void TFormSecDB::showEvent(QShowEvent* event)
{
    if (!m_geometryRestored) {
        m_geometryRestored = true;
        const QByteArray saved =
            QSettings(QStringLiteral("JovSec"), QStringLiteral("SecDesk")).value(geometryKey).toByteArray();
        if (!saved.isEmpty())
            restoreGeometry(saved);
    }
    QWidget::showEvent(event);
    const QScreen* shown = screen() ? screen() : QGuiApplication::primaryScreen();
    if (!shown)
        return;
    // The frame, title bar included, fits in the screen's free area: shrink what is
    // too large, then move what hangs over an edge back in.
    const QRect area = shown->availableGeometry();
    const QRect frame = frameGeometry();
    const QSize border = frame.size() - size();
    const QSize fitted = size().boundedTo(area.size() - border);
    if (fitted != size())
        resize(fitted);
    QRect wanted(frame.topLeft(), fitted + border);
    wanted.moveLeft(std::max(area.left(), std::min(wanted.left(), area.right() + 1 - wanted.width())));
    wanted.moveTop(std::max(area.top(), std::min(wanted.top(), area.bottom() + 1 - wanted.height())));
    if (wanted.topLeft() != frame.topLeft())
        move(wanted.topLeft());
}

void TFormSecDB::hideEvent(QHideEvent* event)
{
    QSettings(QStringLiteral("JovSec"), QStringLiteral("SecDesk")).setValue(geometryKey, saveGeometry());
    QWidget::hideEvent(event);
}

void TFormSecDB::closeEvent(QCloseEvent* event)
{
    // Closing only hides the window; the desktop destroys it with the database.
    event->accept();
}
