#include "desktop/Impunt.h"

#include "database/EDatabaseError.h"
#include "database/TDatabase.h"
#include "database/TDbfTable.h"
#include "database/TTable.h"
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
#include <QLabel>
#include <QListWidget>
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

using Platform::named;

const MapObj* findOld(const std::vector<MapObj>& map, qint64 oldId)
{
    for (const MapObj& pair : map)
        if (pair.OldID == oldId)
            return &pair;
    return nullptr;
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

void TfrmImport::addLine(const QString& line)
{
    lbStatus->addItem(line);
    lbStatus->scrollToBottom();
}

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

QString TfrmImport::inputText(const QString& fieldName) const
{
    return tblInSec->toText(DescrambleField(tblInSec->fieldBytes(fieldName)));
}

void TfrmImport::convertAccessConstants()
{
    addLine(QStringLiteral("** Converting Access Constants **"));
    openTables(kConstantsFile, QStringLiteral("Access"));
    for (; !tblInSec->eof(); tblInSec->next()) {
        tblOutSec->append();
        tblOutSec->fieldByName(QStringLiteral("Access_Name"))->setAsString(inputText(QStringLiteral("Label")));
        tblOutSec->post();
        const MapObj pair {tblInSec->fieldAsInteger(QStringLiteral("AccessId")),
                           tblOutSec->fieldByName(QStringLiteral("Access_Id"))->asInteger()};
        m_accessMap.push_back(pair);
        addLine(tblOutSec->fieldByName(QStringLiteral("Access_Name"))->asString() + QStringLiteral(" mapped from ") +
                QString::number(pair.OldID) + QStringLiteral(" to ") + QString::number(pair.NewID));
        QCoreApplication::processEvents(QEventLoop::ExcludeUserInputEvents);
    }
    closeTables();
    addLine(QString());
}

void TfrmImport::convertUsers()
{
    addLine(QStringLiteral("** Converting Users **"));
    openTables(kUsersFile, QStringLiteral("Users"));
    for (; !tblInSec->eof(); tblInSec->next()) {
        tblOutSec->append();
        tblOutSec->fieldByName(QStringLiteral("User_Name"))->setAsString(inputText(QStringLiteral("Login")));
        tblOutSec->fieldByName(QStringLiteral("User_Password"))->setAsString(inputText(QStringLiteral("Password")));
        tblOutSec->post();
        const MapObj pair {tblInSec->fieldAsInteger(QStringLiteral("UID")),
                           tblOutSec->fieldByName(QStringLiteral("User_Id"))->asInteger()};
        m_userMap.push_back(pair);
        addLine(tblOutSec->fieldByName(QStringLiteral("User_Name"))->asString() + QStringLiteral(" mapped from ") +
                QString::number(pair.OldID) + QStringLiteral(" to ") + QString::number(pair.NewID));
        QCoreApplication::processEvents(QEventLoop::ExcludeUserInputEvents);
    }
    closeTables();
    addLine(QString());
}

void TfrmImport::convertUserAccessRights()
{
    addLine(QStringLiteral("** Converting User Access Rights **"));
    openTables(kRightsFile, QStringLiteral("UserAcc"));
    for (; !tblInSec->eof(); tblInSec->next()) {
        const MapObj* user = findOld(m_userMap, tblInSec->fieldAsInteger(QStringLiteral("UID")));
        const MapObj* access = findOld(m_accessMap, tblInSec->fieldAsInteger(QStringLiteral("ACCESSID")));
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
        QCoreApplication::processEvents(QEventLoop::ExcludeUserInputEvents);
    }
    closeTables();
    m_userMap.clear();
    m_accessMap.clear();
}

void TfrmImport::convertSystemInformation()
{
    addLine(QString());
    addLine(QStringLiteral("** Converting System Information **"));
    openTables(kSystemFile, QStringLiteral("Program"));
    if (!tblInSec->eof()) {
        tblOutSec->first();
        if (tblOutSec->isEmpty())
            tblOutSec->append();
        else
            tblOutSec->edit();
        tblOutSec->fieldByName(QStringLiteral("Security_Label"))->setAsString(inputText(QStringLiteral("Descript")));
        tblOutSec->fieldByName(QStringLiteral("LogEnabled"))
            ->setAsInteger(tblInSec->fieldAsBoolean(QStringLiteral("LoginLog")) ? 1 : 0);
        tblOutSec->post();
        QCoreApplication::processEvents(QEventLoop::ExcludeUserInputEvents);
    }
    closeTables();
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
        database->startTransaction();
        tblInSec->setDatabaseName(m_directory);
        convertAccessConstants();
        convertUsers();
        convertUserAccessRights();
        if (chbxSysConvert->isChecked())
            convertSystemInformation();
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
