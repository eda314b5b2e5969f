#include "desktop/TfrmImport.h"

#include "database/EDatabaseError.h"
#include "database/TAliases.h"
#include "database/TDatabase.h"
#include "platform/FormControls.h"
#include "platform/MessageBox.h"
#include "rules/TImportRun.h"

#include <QCheckBox>
#include <QCloseEvent>
#include <QComboBox>
#include <QCoreApplication>
#include <QDir>
#include <QFileSystemModel>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QListWidget>
#include <QProgressBar>
#include <QPushButton>
#include <QStorageInfo>
#include <QTimer>
#include <QTreeView>
#include <QVBoxLayout>

TfrmImport* frmImport = nullptr;

namespace {
using Platform::named;

// The mount points stand in for drives; "/" comes first.
QStringList drives()
{
    QStringList roots;
    for (const QStorageInfo& volume : QStorageInfo::mountedVolumes())
        if (volume.isValid() && volume.isReady())
            roots << volume.rootPath();
    roots.removeDuplicates();
    roots.sort();
    roots.removeAll(QStringLiteral("/"));
    roots.prepend(QStringLiteral("/"));
    return roots;
}

// The alias and where its database is: the file, or the server and path.
QString databaseText(const QString& alias)
{
    const TDatabase* connection = TDatabase::find(alias);
    const QStringList params = connection ? connection->effectiveParams() : TAliases::params(alias);
    const QString location = TAliases::paramValue(params, QStringLiteral("SERVER NAME"));
    return location.isEmpty() ? alias : alias + QStringLiteral(" (") + location + QLatin1Char(')');
}
} // namespace

TfrmImport::TfrmImport(const QString& openAlias, QWidget* owner) : QDialog(owner), OpenAlias(openAlias)
{
    setObjectName(QStringLiteral("frmImport"));
    setWindowTitle(QStringLiteral("Import Security Data"));

    m_dirModel = new QFileSystemModel(this);
    m_dirModel->setFilter(QDir::AllDirs | QDir::NoDotAndDotDot | QDir::Drives);
    m_dirModel->setRootPath(QStringLiteral("/"));

    DriveComboBox1 = named(new QComboBox, "DriveComboBox1");
    DriveComboBox1->addItems(drives());
    DirectoryListBox1 = named(new QTreeView, "DirectoryListBox1");
    DirectoryListBox1->setModel(m_dirModel);
    DirectoryListBox1->setHeaderHidden(true);
    for (int column = 1; column < m_dirModel->columnCount(); ++column)
        DirectoryListBox1->hideColumn(column);
    DirectoryListBox1->setRootIndex(m_dirModel->index(QStringLiteral("/")));
    lblSecStat = named(new QLabel, "lblSecStat");
    Label1 = named(new QLabel(QStringLiteral("Conversion Status:")), "Label1");
    lbStatus = named(new QListWidget, "lbStatus");
    // Lines of one height: a new line does not make the list measure the others.
    lbStatus->setUniformItemSizes(true);
    pbProgress = named(new QProgressBar, "pbProgress");
    pbProgress->setRange(0, 1);
    pbProgress->setValue(0);
    pbProgress->setTextVisible(true);
    chbxSysConvert = named(new QCheckBox(QStringLiteral("Import system information")), "chbxSysConvert");
    chbxSysConvert->setToolTip(QStringLiteral("Import program description and logging settings"));
    btnImport = named(new QPushButton(QStringLiteral("Import")), "btnImport");
    btnImport->setDefault(true);
    btnCancel = named(new QPushButton(QStringLiteral("Cancel")), "btnCancel");
    btnClose = named(new QPushButton(QStringLiteral("OK")), "btnClose");
    btnClose->hide();
    lblDatabase = named(new QLabel(QStringLiteral("Import into: ") + databaseText(OpenAlias)), "lblDatabase");
    lblDatabase->setTextInteractionFlags(Qt::TextSelectableByMouse);
    lblDatabase->setWordWrap(true);

    auto* folders = new QVBoxLayout;
    folders->addWidget(DriveComboBox1);
    folders->addWidget(DirectoryListBox1, 1);
    folders->addWidget(lblSecStat);
    auto* status = new QVBoxLayout;
    status->addWidget(Label1);
    status->addWidget(lbStatus, 1);
    status->addWidget(pbProgress);
    auto* top = new QHBoxLayout;
    top->addLayout(folders, 1);
    top->addLayout(status, 1);
    // btnClose takes btnCancel's place once the import has succeeded.
    auto* buttons = new QGridLayout;
    buttons->setColumnStretch(0, 1);
    buttons->addWidget(btnImport, 0, 1);
    buttons->addWidget(btnCancel, 0, 2);
    buttons->addWidget(btnClose, 0, 2);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(lblDatabase);
    layout->addLayout(top, 1);
    layout->addWidget(chbxSysConvert);
    layout->addLayout(buttons);
    resize(560, 360);

    connect(btnImport, &QPushButton::clicked, this, &TfrmImport::btnImportClick);
    connect(btnCancel, &QPushButton::clicked, this, &TfrmImport::reject);
    connect(btnClose, &QPushButton::clicked, this, &TfrmImport::accept);
    connect(DriveComboBox1, &QComboBox::activated, this, &TfrmImport::driveChosen);
    connect(DirectoryListBox1->selectionModel(), &QItemSelectionModel::currentChanged, this, &TfrmImport::treeChosen);
    // The tree reads folders in the background, and a folder read later moves the rows
    // below it: show the chosen one again as it and the folders above it are read, until
    // the user picks another.
    connect(m_dirModel, &QFileSystemModel::directoryLoaded, this, [this](const QString& loaded) {
        const QString path = QDir::cleanPath(loaded);
        if (m_revealPending &&
            (path == m_directory || path == QLatin1String("/") || m_directory.startsWith(path + QLatin1Char('/'))))
            revealDirectory();
    });

    setDirectory(QDir::currentPath());
    frmImport = this;
}

TfrmImport::~TfrmImport()
{
    if (frmImport == this)
        frmImport = nullptr;
}

void TfrmImport::setDirectory(const QString& path)
{
    m_directory = QDir::cleanPath(QDir(path).absolutePath());
    // The drive is the longest mount point that holds the folder.
    int drive = 0;
    qsizetype longest = 0;
    for (int i = 0; i < DriveComboBox1->count(); ++i) {
        QString root = DriveComboBox1->itemText(i);
        if (!root.endsWith(QLatin1Char('/')))
            root += QLatin1Char('/');
        if ((m_directory + QLatin1Char('/')).startsWith(root) && root.size() > longest) {
            drive = i;
            longest = root.size();
        }
    }
    DriveComboBox1->setCurrentIndex(drive);
    m_revealPending = true;
    revealDirectory();
    DirectoryListBox1Change();
}

void TfrmImport::revealDirectory()
{
    const QModelIndex index = m_dirModel->index(m_directory);
    if (!index.isValid())
        return;
    const QSignalBlocker block(DirectoryListBox1->selectionModel());
    DirectoryListBox1->setCurrentIndex(index);
    // Its parents open on the way, and it opens on its own folders.
    DirectoryListBox1->expand(index);
    DirectoryListBox1->scrollTo(index, QAbstractItemView::PositionAtTop);
}

void TfrmImport::driveChosen(int index)
{
    if (index >= 0)
        setDirectory(DriveComboBox1->itemText(index));
}

void TfrmImport::treeChosen()
{
    const QModelIndex current = DirectoryListBox1->currentIndex();
    if (!current.isValid())
        return;
    m_directory = m_dirModel->filePath(current);
    m_revealPending = false; // the user browses on from here
    DirectoryListBox1Change();
}

void TfrmImport::DirectoryListBox1Change()
{
    lblSecStat->setText(TImportRun::securityFilesPresent(m_directory) ? QStringLiteral("Database files found")
                                                                      : QStringLiteral("Security files unavailable"));
}

void TfrmImport::addLine(const QString& line) { lbStatus->addItem(line); }

void TfrmImport::showProgress(const QString& fileName, int done, int total)
{
    if (done == 0) {
        pbProgress->setRange(0, std::max(total, 1));
        pbProgress->setFormat(fileName + QStringLiteral(": %v of %m"));
    }
    pbProgress->setValue(done);
    // The window repaints a few times a second rather than after every row: each
    // repaint costs as much as many rows.
    if (m_clock.elapsed() - m_lastRepaint < 50)
        return;
    m_lastRepaint = m_clock.elapsed();
    lbStatus->scrollToBottom();
    QCoreApplication::processEvents(QEventLoop::ExcludeUserInputEvents);
}

bool TfrmImport::mayImportInto()
{
    // The import adds rows and compares none: a second run would add every one again.
    return !TImportRun::holdsUsersOrConstants(OpenAlias) ||
           Platform::askYesNo(QStringLiteral("The security database already holds users or access constants. The "
                                             "import adds every user and access constant again, with new ids.\n"
                                             "Import anyway?"));
}

void TfrmImport::setBusy(bool busy)
{
    m_busy = busy;
    for (QWidget* control :
         std::initializer_list<QWidget*> {DriveComboBox1, DirectoryListBox1, chbxSysConvert, btnImport, btnCancel})
        control->setEnabled(!busy);
}

void TfrmImport::btnImportClick()
{
    if (m_busy)
        return;
    setBusy(true);
    TDatabase* database = nullptr;
    try {
        // Held for the whole import, the question included.
        database = TDatabase::connectionFor(OpenAlias);
        database->attach();
        if (mayImportInto()) {
            m_clock.start();
            m_lastRepaint = 0;
            TImportRun run(OpenAlias, m_directory);
            run.systemInformation = chbxSysConvert->isChecked();
            // The dialog shows the headings and the lines of the rows it adds.
            run.onLine = [this](const TImportLine& line) {
                if (line.kind == TImportLine::Kind::Heading || !line.status.isEmpty())
                    addLine(line.status);
            };
            run.onProgress = [this](const QString& fileName, int done, int total) {
                showProgress(fileName, done, total);
            };
            run.onRestart = [this] { lbStatus->clear(); };
            run.execute(TImportRun::Mode::Apply);
            database->detach();
            lbStatus->scrollToBottom();
            setBusy(false);
            Platform::showInformation(QStringLiteral("Conversion was Successful!"));
            btnImport->hide();
            btnCancel->hide();
            btnClose->show();
            return;
        }
    } catch (const std::exception& error) {
        const QString text = dynamic_cast<const EDatabaseError*>(&error)
                                 ? static_cast<const EDatabaseError&>(error).message()
                                 : QString::fromLocal8Bit(error.what());
        if (database)
            database->detach();
        addLine(QStringLiteral("** Import failed: nothing was imported **"));
        setBusy(false);
        Platform::showError(text);
        return;
    }
    database->detach();
    setBusy(false);
}

void TfrmImport::showEvent(QShowEvent* event)
{
    QDialog::showEvent(event);
    revealDirectory();
    // Once more when the tree has its size, so the folder is scrolled to its place.
    QTimer::singleShot(0, this, &TfrmImport::revealDirectory);
    DirectoryListBox1Change();
}

void TfrmImport::reject()
{
    // The import runs to its end: its rows are committed or taken back as one.
    if (!m_busy)
        QDialog::reject();
}

void TfrmImport::closeEvent(QCloseEvent* event)
{
    if (m_busy)
        event->ignore();
    else
        QDialog::closeEvent(event);
}
