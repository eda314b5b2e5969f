#include "desktop/TfrmGenerate.h"

#include "database/TQuery.h"
#include "widgets/TRadioGroup.h"
#include "platform/MessageBox.h"

#include <QClipboard>
#include <QComboBox>
#include <QDir>
#include <QFileInfo>
#include <QGridLayout>
#include <QGuiApplication>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QSaveFile>
#include <QScreen>
#include <QStorageInfo>

TfrmGenerate* frmGenerate = nullptr;

namespace {

struct FilterChoice {
    const char* caption;
    const char* mask;
};
const FilterChoice filters[] = {
    {"Pascal files (*.pas)", "*.pas"},
    {"All files (*.*)", "*"},
    {"C++ header files (*.h)", "*.h"},
};

} // namespace

TfrmGenerate::TfrmGenerate(QWidget* owner) : QDialog(owner)
{
    frmGenerate = this;
    setObjectName(QStringLiteral("frmGenerate"));
    setWindowTitle(QStringLiteral("Generate Constants"));

    rgrpGen = new TRadioGroup(
        QStringLiteral("Output Location:"),
        {QStringLiteral("Windows Clipboard"), QStringLiteral("Pascal Include File"), QStringLiteral("C++ Header File")},
        this);
    rgrpGen->setObjectName(QStringLiteral("rgrpGen"));
    rgrpGen->setItemIndex(ToClipboard);
    edFile = new QLineEdit(QStringLiteral("*.pas"), this);
    edFile->setObjectName(QStringLiteral("edFile"));
    FileListBox1 = new QListWidget(this);
    FileListBox1->setObjectName(QStringLiteral("FileListBox1"));
    FilterComboBox1 = new QComboBox(this);
    FilterComboBox1->setObjectName(QStringLiteral("FilterComboBox1"));
    for (const FilterChoice& f : filters)
        FilterComboBox1->addItem(QString::fromLatin1(f.caption), QString::fromLatin1(f.mask));
    DirectoryListBox1 = new QListWidget(this);
    DirectoryListBox1->setObjectName(QStringLiteral("DirectoryListBox1"));
    lblDir = new QLabel(this);
    lblDir->setObjectName(QStringLiteral("lblDir"));
    lblDir->setFrameShape(QFrame::Panel);
    lblDir->setFrameShadow(QFrame::Sunken);
    lblDir->setMinimumWidth(200);
    DriveComboBox1 = new QComboBox(this);
    DriveComboBox1->setObjectName(QStringLiteral("DriveComboBox1"));
    QStringList roots {QStringLiteral("/"), QDir::homePath()};
    for (const QStorageInfo& volume : QStorageInfo::mountedVolumes())
        if (volume.isValid() && volume.isReady() && !roots.contains(volume.rootPath()) &&
            !volume.rootPath().startsWith(QLatin1String("/proc")) &&
            !volume.rootPath().startsWith(QLatin1String("/sys")) &&
            !volume.rootPath().startsWith(QLatin1String("/dev")) &&
            !volume.rootPath().startsWith(QLatin1String("/run")))
            roots << volume.rootPath();
    DriveComboBox1->addItems(roots);

    bbtnOk = new QPushButton(QStringLiteral("OK"), this);
    bbtnOk->setObjectName(QStringLiteral("bbtnOk"));
    bbtnOk->setDefault(true);
    bbtnCancel = new QPushButton(QStringLiteral("Cancel"), this);
    bbtnCancel->setObjectName(QStringLiteral("bbtnCancel"));

    auto* grid = new QGridLayout(this);
    const auto caption = [this](const QString& text, QWidget* buddy) {
        auto* label = new QLabel(text, this);
        label->setBuddy(buddy);
        return label;
    };
    grid->addWidget(rgrpGen, 0, 0, 1, 2);
    grid->addWidget(caption(QStringLiteral("File &Name:"), edFile), 1, 0);
    grid->addWidget(caption(QStringLiteral("&Directories:"), DirectoryListBox1), 1, 1);
    grid->addWidget(edFile, 2, 0);
    grid->addWidget(lblDir, 2, 1);
    grid->addWidget(FileListBox1, 3, 0);
    grid->addWidget(DirectoryListBox1, 3, 1);
    grid->addWidget(caption(QStringLiteral("List Files of &Type:"), FilterComboBox1), 4, 0);
    grid->addWidget(caption(QStringLiteral("Dri&ves:"), DriveComboBox1), 4, 1);
    grid->addWidget(FilterComboBox1, 5, 0);
    grid->addWidget(DriveComboBox1, 5, 1);
    auto* buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(bbtnOk);
    buttons->addWidget(bbtnCancel);
    grid->addLayout(buttons, 6, 0, 1, 2);

    setDirectory(QDir::currentPath());

    connect(edFile, &QLineEdit::textChanged, this, &TfrmGenerate::edFileChange);
    connect(FileListBox1, &QListWidget::currentTextChanged, this, [this](const QString& name) {
        if (!name.isEmpty())
            edFile->setText(name);
    });
    connect(DirectoryListBox1, &QListWidget::itemActivated, this,
            [this](QListWidgetItem* item) { setDirectory(item->data(Qt::UserRole).toString()); });
    DirectoryListBox1->installEventFilter(this);
    connect(FilterComboBox1, &QComboBox::currentIndexChanged, this, &TfrmGenerate::fillFiles);
    connect(DriveComboBox1, &QComboBox::textActivated, this, &TfrmGenerate::setDirectory);
    connect(rgrpGen, &TRadioGroup::clicked, this, &TfrmGenerate::outputChosen);
    connect(bbtnOk, &QPushButton::clicked, this, &QDialog::accept);
    connect(bbtnCancel, &QPushButton::clicked, this, &QDialog::reject);

    resize(460, 400);
    setFixedSize(size());
    if (const QScreen* screen = this->screen()) {
        QRect frame = frameGeometry();
        frame.moveCenter(screen->availableGeometry().center());
        move(frame.topLeft());
    }
}

TfrmGenerate::~TfrmGenerate()
{
    if (frmGenerate == this)
        frmGenerate = nullptr;
}

// Enter in the directory list opens the directory, as a double click does; it does
// not reach OK, which would write the constants.
bool TfrmGenerate::eventFilter(QObject* watched, QEvent* event)
{
    if (watched == DirectoryListBox1 && event->type() == QEvent::KeyPress) {
        const int key = static_cast<QKeyEvent*>(event)->key();
        if (key == Qt::Key_Return || key == Qt::Key_Enter) {
            if (const QListWidgetItem* item = DirectoryListBox1->currentItem())
                setDirectory(item->data(Qt::UserRole).toString());
            return true;
        }
    }
    return QDialog::eventFilter(watched, event);
}

void TfrmGenerate::setDirectory(const QString& path)
{
    const QFileInfo info(path);
    if (!info.isDir())
        return;
    m_directory = QDir::cleanPath(info.absoluteFilePath());
    lblDir->setText(m_directory);
    // The drive box shows the volume the directory lies on.
    const int drive = DriveComboBox1->findText(QStorageInfo(m_directory).rootPath());
    if (drive >= 0)
        DriveComboBox1->setCurrentIndex(drive);
    fillDirectories();
    fillFiles();
}

// The chain from the root down to the current directory, then its subdirectories.
void TfrmGenerate::fillDirectories()
{
    DirectoryListBox1->clear();
    QStringList chain;
    for (QDir dir(m_directory);;) {
        chain.prepend(dir.absolutePath());
        if (!dir.cdUp())
            break;
    }
    int depth = 0;
    for (const QString& path : chain) {
        const QString name = path == QLatin1String("/") ? path : QFileInfo(path).fileName();
        auto* item = new QListWidgetItem(QString(depth * 2, QLatin1Char(' ')) + name, DirectoryListBox1);
        item->setData(Qt::UserRole, path);
        ++depth;
    }
    DirectoryListBox1->setCurrentRow(DirectoryListBox1->count() - 1);
    const QFileInfoList children = QDir(m_directory).entryInfoList(QDir::Dirs | QDir::NoDotAndDotDot, QDir::Name);
    for (const QFileInfo& child : children) {
        auto* item = new QListWidgetItem(QString(depth * 2, QLatin1Char(' ')) + child.fileName(), DirectoryListBox1);
        item->setData(Qt::UserRole, child.absoluteFilePath());
    }
}

void TfrmGenerate::fillFiles()
{
    const QString mask = FilterComboBox1->currentData().toString();
    const QSignalBlocker quiet(FileListBox1);
    FileListBox1->clear();
    FileListBox1->addItems(QDir(m_directory).entryList({mask}, QDir::Files, QDir::Name));
}

QString TfrmGenerate::outputPath() const { return QDir(m_directory).filePath(edFile->text()); }

void TfrmGenerate::edFileChange()
{
    if (rgrpGen->itemIndex() == ToClipboard)
        rgrpGen->setItemIndex(ToPascalFile);
}

// Choosing a file kind shows files of that kind.
void TfrmGenerate::outputChosen()
{
    const int index = rgrpGen->itemIndex();
    if (index == ToClipboard)
        return;
    const bool header = index == ToCppHeader;
    FilterComboBox1->setCurrentIndex(header ? 2 : 0);
    if (edFile->text().contains(QLatin1Char('*')))
        edFile->setText(header ? QStringLiteral("*.h") : QStringLiteral("*.pas"));
}

bool TfrmGenerate::FormCloseQuery(bool ok)
{
    if (!ok || rgrpGen->itemIndex() == ToClipboard)
        return true;
    const QString path = outputPath();
    if (path.contains(QLatin1Char('*')) || edFile->text().trimmed().isEmpty() || QFileInfo(path).isDir()) {
        Platform::showError(QStringLiteral("Invalid file name."));
        return false;
    }
    if (QFileInfo::exists(path))
        return Platform::askYesNo(QStringLiteral("File Exists. Overite?"));
    return true;
}

void TfrmGenerate::done(int result)
{
    if (!FormCloseQuery(result == QDialog::Accepted))
        return;
    QDialog::done(result);
}

namespace {

// Replaces the file only once the whole text is written, so a failed write leaves
// any earlier file as it was.
bool writeFile(const QString& path, const QByteArray& bytes)
{
    QSaveFile file(path);
    return file.open(QIODevice::WriteOnly) && file.write(bytes) == bytes.size() && file.commit();
}

} // namespace

void GenerateConstants(QWidget* owner, TQuery& statement, const QString& alias)
{
    TfrmGenerate dialog(owner);
    if (dialog.exec() != QDialog::Accepted)
        return;

    const QList<TAccessConstant> constants = ReadAccessConstants(statement, alias);

    switch (dialog.rgrpGen->itemIndex()) {
    case TfrmGenerate::ToPascalFile:
        if (!writeFile(dialog.outputPath(), PascalConstants(constants)))
            Platform::showError(QStringLiteral("Unable to Save File."));
        break;
    case TfrmGenerate::ToCppHeader: {
        QStringList renamed;
        if (!writeFile(dialog.outputPath(), CppConstants(alias, constants, &renamed)))
            Platform::showError(QStringLiteral("Unable to Save File."));
        else if (!renamed.isEmpty())
            Platform::showInformation(
                QStringLiteral("These access names are not valid C++ names; the header names them:\n") +
                renamed.join(QLatin1Char('\n')));
        break;
    }
    default:
        QGuiApplication::clipboard()->setText(QString::fromUtf8(PascalConstants(constants)));
    }
}
