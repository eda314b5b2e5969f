#include "desktop/Impunt.h"

#include "database/EDatabaseError.h"
#include "database/TDatabase.h"
#include "database/TDbfTable.h"
#include "database/TTable.h"
#include "editor/TAccountPolicy.h"
#include "editor/TSecurityRules.h"
#include "platform/FormControls.h"
#include "platform/MessageBox.h"

#include <QCheckBox>
#include <QCloseEvent>
#include <QComboBox>
#include <QCoreApplication>
#include <QDir>
#include <QFileSystemModel>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QHash>
#include <QLabel>
#include <QListWidget>
#include <QProgressBar>
#include <QPushButton>
#include <QStorageInfo>
#include <QTreeView>
#include <QVBoxLayout>

TfrmImport* frmImport = nullptr;

namespace {
const QString kConstantsFile = QStringLiteral("PRVSEC2.DBF");
const QString kUsersFile = QStringLiteral("PRVSEC1.DBF");
const QString kRightsFile = QStringLiteral("PRVSEC3.DBF");
const QString kSystemFile = QStringLiteral("PRVSEC4.DBF");
// PROGRAM.Security_Label's width.
constexpr int kSecurityLabelLength = 48;

using Platform::named;

// Each old id's first pair, so that a right finds its pair in one step.
QHash<qint64, const MapObj*> firstByOldId(const std::vector<MapObj>& map)
{
    QHash<qint64, const MapObj*> index;
    index.reserve(qsizetype(map.size()));
    for (const MapObj& pair : map)
        if (!index.contains(pair.OldID))
            index.insert(pair.OldID, &pair);
    return index;
}

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
} // namespace

TfrmImport::TfrmImport(const QString& openAlias, QWidget* owner)
    : QDialog(owner), OpenAlias(openAlias), tblInSec(std::make_unique<TDbfTable>())
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
    tblOutSec = new TTable(this);
    tblOutSec->setObjectName(QStringLiteral("tblOutSec"));

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
    layout->addLayout(top, 1);
    layout->addWidget(chbxSysConvert);
    layout->addLayout(buttons);
    resize(560, 360);

    connect(btnImport, &QPushButton::clicked, this, &TfrmImport::btnImportClick);
    connect(btnCancel, &QPushButton::clicked, this, &TfrmImport::reject);
    connect(btnClose, &QPushButton::clicked, this, &TfrmImport::accept);
    connect(DriveComboBox1, &QComboBox::activated, this, &TfrmImport::driveChosen);
    connect(DirectoryListBox1->selectionModel(), &QItemSelectionModel::currentChanged, this, &TfrmImport::treeChosen);
    // The tree reads folders in the background: show the chosen one once its parents are read.
    connect(m_dirModel, &QFileSystemModel::directoryLoaded, this, [this](const QString& loaded) {
        if (!m_revealPending)
            return;
        revealDirectory();
        if (QDir::cleanPath(loaded) == m_directory)
            m_revealPending = false; // the user browses on from here
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
    DirectoryListBox1->scrollTo(index);
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
    DirectoryListBox1Change();
}

bool TfrmImport::securityFilesPresent(const QString& directory)
{
    TDbfTable table;
    table.setDatabaseName(directory);
    for (const QString& name : {kUsersFile, kConstantsFile, kRightsFile, kSystemFile}) {
        table.setTableName(name);
        if (!QFileInfo(table.filePath()).isFile())
            return false;
    }
    return true;
}

void TfrmImport::DirectoryListBox1Change()
{
    lblSecStat->setText(securityFilesPresent(m_directory) ? QStringLiteral("Database files found")
                                                          : QStringLiteral("Security files unavailable"));
}

QByteArray TfrmImport::DescrambleField(const QByteArray& stored)
{
    qsizetype end = stored.size();
    while (end > 0 && stored.at(end - 1) == ' ')
        --end;
    QByteArray text;
    text.reserve(end);
    for (qsizetype i = 0; i < end; ++i) {
        const auto byte = static_cast<unsigned char>(stored.at(i));
        const auto character = static_cast<unsigned char>(128 - byte);
        if (byte == 0 || character == 0)
            break;
        text.append(static_cast<char>(character));
    }
    return text;
}

void TfrmImport::addLine(const QString& line) { lbStatus->addItem(line); }

void TfrmImport::openTables(const QString& fileName, const QString& tableName)
{
    tblInSec->setTableName(fileName);
    tblInSec->open();
    tblInSec->first();
    tblOutSec->setDatabaseName(OpenAlias);
    tblOutSec->setTableName(tableName);
    tblOutSec->open();
}

void TfrmImport::closeTables()
{
    tblInSec->close();
    tblOutSec->close();
}

void TfrmImport::startStage(const QString& heading, const QString& fileName, const QString& tableName)
{
    addLine(heading);
    openTables(fileName, tableName);
    pbProgress->setRange(0, std::max(tblInSec->recordCount(), 1));
    pbProgress->setValue(0);
    pbProgress->setFormat(fileName + QStringLiteral(": %v of %m"));
}

void TfrmImport::rowDone()
{
    pbProgress->setValue(pbProgress->value() + 1);
    // The window repaints a few times a second rather than after every row: each
    // repaint costs as much as many rows.
    if (m_clock.elapsed() - m_lastRepaint < 50)
        return;
    m_lastRepaint = m_clock.elapsed();
    lbStatus->scrollToBottom();
    QCoreApplication::processEvents(QEventLoop::ExcludeUserInputEvents);
}

QString TfrmImport::inputText(const QString& fieldName) const
{
    return tblInSec->toText(DescrambleField(tblInSec->fieldBytes(fieldName)));
}

QString TfrmImport::inputText(const QString& fieldName, int limit, const QString& column) const
{
    const QString text = inputText(fieldName);
    if (text.toUcs4().size() > limit)
        throw EDatabaseError(QStringLiteral("The value \"%1\" is longer than the %2 characters of %3.\n%4")
                                 .arg(text)
                                 .arg(limit)
                                 .arg(column, tblInSec->position(fieldName)));
    return text;
}

void TfrmImport::convertAccessConstants()
{
    startStage(QStringLiteral("** Converting Access Constants **"), kConstantsFile, QStringLiteral("Access"));
    for (; !tblInSec->eof(); tblInSec->next()) {
        const QString name =
            inputText(QStringLiteral("Label"), TSecurityRules::AccessNameLength, QStringLiteral("Access_Name"));
        const qint64 oldId = tblInSec->fieldAsInteger(QStringLiteral("AccessId"));
        tblOutSec->append();
        tblOutSec->fieldByName(QStringLiteral("Access_Name"))->setAsString(name);
        tblOutSec->post();
        const MapObj pair {oldId, tblOutSec->fieldByName(QStringLiteral("Access_Id"))->asInteger()};
        m_accessMap.push_back(pair);
        addLine(tblOutSec->fieldByName(QStringLiteral("Access_Name"))->asString() + QStringLiteral(" mapped from ") +
                QString::number(pair.OldID) + QStringLiteral(" to ") + QString::number(pair.NewID));
        rowDone();
    }
    closeTables();
    addLine(QString());
}

void TfrmImport::convertUsers()
{
    startStage(QStringLiteral("** Converting Users **"), kUsersFile, QStringLiteral("Users"));
    for (; !tblInSec->eof(); tblInSec->next()) {
        const QString name =
            inputText(QStringLiteral("Login"), TSecurityRules::UserNameLength, QStringLiteral("User_Name"));
        // Nobody could log on as a user without a name.
        if (name.isEmpty())
            throw EDatabaseError(QStringLiteral("The user name is empty.\n") +
                                 tblInSec->position(QStringLiteral("Login")));
        const QString password =
            inputText(QStringLiteral("Password"), TSecurityRules::PasswordLength, QStringLiteral("User_Password"));
        const qint64 oldId = tblInSec->fieldAsInteger(QStringLiteral("UID"));
        tblOutSec->append();
        tblOutSec->fieldByName(QStringLiteral("User_Name"))->setAsString(name);
        tblOutSec->fieldByName(QStringLiteral("User_Password"))->setAsString(password);
        tblOutSec->post();
        const MapObj pair {oldId, tblOutSec->fieldByName(QStringLiteral("User_Id"))->asInteger()};
        m_userMap.push_back(pair);
        addLine(tblOutSec->fieldByName(QStringLiteral("User_Name"))->asString() + QStringLiteral(" mapped from ") +
                QString::number(pair.OldID) + QStringLiteral(" to ") + QString::number(pair.NewID));
        rowDone();
    }
    closeTables();
    addLine(QString());
}

void TfrmImport::convertUserAccessRights()
{
    startStage(QStringLiteral("** Converting User Access Rights **"), kRightsFile, QStringLiteral("UserAcc"));
    const QHash<qint64, const MapObj*> users = firstByOldId(m_userMap);
    const QHash<qint64, const MapObj*> constants = firstByOldId(m_accessMap);
    for (; !tblInSec->eof(); tblInSec->next()) {
        const MapObj* user = users.value(tblInSec->fieldAsInteger(QStringLiteral("UID")));
        const MapObj* access = constants.value(tblInSec->fieldAsInteger(QStringLiteral("ACCESSID")));
        // A right whose user or constant did not come across is left out.
        if (user && access) {
            tblOutSec->append();
            tblOutSec->fieldByName(QStringLiteral("User_Id"))->setAsInteger(user->NewID);
            tblOutSec->fieldByName(QStringLiteral("Access_Id"))->setAsInteger(access->NewID);
            tblOutSec->fieldByName(QStringLiteral("Type"))->setAsString(QStringLiteral("C"));
            tblOutSec->post();
            addLine(QStringLiteral("Id ") + QString::number(access->NewID) + QStringLiteral(" added for user ") +
                    QString::number(user->NewID));
        }
        rowDone();
    }
    closeTables();
    m_userMap.clear();
    m_accessMap.clear();
}

void TfrmImport::convertSystemInformation()
{
    addLine(QString());
    startStage(QStringLiteral("** Converting System Information **"), kSystemFile, QStringLiteral("Program"));
    if (!tblInSec->eof()) {
        const QString label =
            inputText(QStringLiteral("Descript"), kSecurityLabelLength, QStringLiteral("Security_Label"));
        const bool logging = tblInSec->fieldAsBoolean(QStringLiteral("LoginLog"));
        tblOutSec->first();
        if (tblOutSec->isEmpty())
            tblOutSec->append();
        else
            tblOutSec->edit();
        tblOutSec->fieldByName(QStringLiteral("Security_Label"))->setAsString(label);
        tblOutSec->fieldByName(QStringLiteral("LogEnabled"))->setAsInteger(logging ? 1 : 0);
        tblOutSec->post();
        rowDone();
    }
    closeTables();
}

void TfrmImport::writeHistoryRows()
{
    // As for a user added in the editor: set today, with the global policy's limits.
    TQuery program;
    program.setDatabaseName(OpenAlias);
    program.setSQL(QStringLiteral("select * from PROGRAM"));
    program.open();
    program.first();
    const TAccountPolicy policy =
        program.isEmpty() ? TAccountPolicy::ofNewProgram() : TAccountPolicy::ofProgram(program);
    program.close();
    TQuery statement;
    statement.setDatabaseName(OpenAlias);
    TSecurityRules::addMissingHistoryRows(statement, policy);
}

bool TfrmImport::mayImportInto()
{
    TQuery count;
    count.setDatabaseName(OpenAlias);
    count.setSQL(
        QStringLiteral("select (select count(*) from USERS) + (select count(*) from ACCESS) from RDB$DATABASE"));
    count.open();
    const bool holdsRows = count.field(0)->asInteger() > 0;
    count.close();
    // The import adds rows and compares none: a second run would add every one again.
    return !holdsRows ||
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
    m_accessMap.clear();
    m_userMap.clear();
    TDatabase* database = nullptr;
    try {
        database = TDatabase::connectionFor(OpenAlias);
        // Held for the whole import: the record sets come and go, the transaction stays.
        database->attach();
        if (!mayImportInto()) {
            database->detach();
            setBusy(false);
            return;
        }
        database->startTransaction();
        m_clock.start();
        m_lastRepaint = 0;
        tblInSec->setDatabaseName(m_directory);
        convertAccessConstants();
        convertUsers();
        convertUserAccessRights();
        if (chbxSysConvert->isChecked())
            convertSystemInformation();
        writeHistoryRows();
        database->commit();
    } catch (const std::exception& error) {
        const QString text = dynamic_cast<const EDatabaseError*>(&error)
                                 ? static_cast<const EDatabaseError&>(error).message()
                                 : QString::fromLocal8Bit(error.what());
        if (tblOutSec->active() && tblOutSec->state() != TQuery::State::Browse)
            tblOutSec->cancel();
        closeTables();
        if (database && database->inTransaction()) {
            try {
                database->rollback();
            } catch (const EDatabaseError&) {
                // The connection is gone; the server has dropped the transaction with it.
            }
        }
        if (database)
            database->detach();
        m_accessMap.clear();
        m_userMap.clear();
        addLine(QStringLiteral("** Import failed: nothing was imported **"));
        setBusy(false);
        Platform::showError(text);
        return;
    }
    database->detach();
    lbStatus->scrollToBottom();
    setBusy(false);
    Platform::showInformation(QStringLiteral("Conversion was Successful!"));
    btnImport->hide();
    btnCancel->hide();
    btnClose->show();
}

void TfrmImport::showEvent(QShowEvent* event)
{
    QDialog::showEvent(event);
    revealDirectory();
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
