#include "reporting/TfrmReportDesigner.h"

#include "database/EDatabaseError.h"
#include "database/TTable.h"
#include "widgets/TRadioGroup.h"
#include "platform/MessageBox.h"
#include "reporting/TFormGenWin.h"
#include "reporting/TReportDesign.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDateTime>
#include <QDragMoveEvent>
#include <QFontDialog>
#include <QGridLayout>
#include <QGuiApplication>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QScreen>
#include <QTabWidget>
#include <QToolButton>

// ---------------------------------------------------------------- field list boxes

TFieldListBox::TFieldListBox(QWidget* parent) : QListWidget(parent)
{
    setDragEnabled(true);
    setAcceptDrops(true);
    setDragDropMode(QAbstractItemView::DragDrop);
    setDefaultDropAction(Qt::MoveAction);
    setSelectionMode(QAbstractItemView::SingleSelection);
}

void TFieldListBox::setHandlers(DragOverHandler over, DropHandler drop)
{
    m_over = std::move(over);
    m_drop = std::move(drop);
}

QStringList TFieldListBox::texts() const
{
    QStringList list;
    for (int i = 0; i < count(); ++i)
        list << item(i)->text();
    return list;
}

int TFieldListBox::itemIndex() const
{
    const QList<QListWidgetItem*> selected = selectedItems();
    return selected.isEmpty() ? -1 : row(selected.first());
}

void TFieldListBox::setItemIndex(int index)
{
    clearSelection();
    if (index >= 0 && index < count()) {
        setCurrentRow(index);
        item(index)->setSelected(true);
    }
}

void TFieldListBox::dragEnterEvent(QDragEnterEvent* event)
{
    if (m_over && m_over(event->source(), event->position().toPoint()))
        event->acceptProposedAction();
    else
        event->ignore();
}

void TFieldListBox::dragMoveEvent(QDragMoveEvent* event)
{
    if (m_over && m_over(event->source(), event->position().toPoint()))
        event->acceptProposedAction();
    else
        event->ignore();
}

void TFieldListBox::dropEvent(QDropEvent* event)
{
    if (m_drop)
        m_drop(event->source(), event->position().toPoint());
    // The dialog has moved the entry itself; the view must not remove it again.
    event->setDropAction(Qt::CopyAction);
    event->accept();
}

// ---------------------------------------------------------------- the dialog

TfrmReportDesigner::FontChooser& designerFontChooser()
{
    static TfrmReportDesigner::FontChooser chooser;
    return chooser;
}

namespace {

QToolButton* speedButton(const QString& name, Qt::ArrowType arrow, const QString& text, const QString& hint,
                         QWidget* parent)
{
    auto* b = new QToolButton(parent);
    b->setObjectName(name);
    if (arrow != Qt::NoArrow)
        b->setArrowType(arrow);
    else
        b->setText(text);
    b->setToolTip(hint);
    b->setFixedSize(26, 24);
    return b;
}

QLineEdit* labelledEdit(const QString& name, const QString& caption, QGridLayout* grid, int row, QWidget* parent)
{
    auto* edit = new QLineEdit(parent);
    edit->setObjectName(name);
    auto* label = new QLabel(caption, parent);
    label->setBuddy(edit);
    grid->addWidget(label, row, 0);
    grid->addWidget(edit, row, 1);
    return edit;
}

} // namespace

void TfrmReportDesigner::setFontChooser(FontChooser chooser) { designerFontChooser() = std::move(chooser); }

TfrmReportDesigner::TfrmReportDesigner(QWidget* owner) : QDialog(owner, Qt::Dialog | Qt::MSWindowsFixedSizeDialogHint)
{
    setObjectName(QStringLiteral("frmReportDesigner"));
    setWindowTitle(QStringLiteral("Report Designer"));
    buildControls();
    setFixedSize(sizeHint());
    if (const QScreen* screen = QGuiApplication::primaryScreen())
        move(screen->geometry().center() - rect().center());
}

TfrmReportDesigner::~TfrmReportDesigner()
{
    if (m_shown && !m_wasOpen && m_definition && m_definition->dataSet())
        m_definition->dataSet()->close();
}

void TfrmReportDesigner::buildControls()
{
    auto* top = new QGridLayout(this);

    // Field lists
    auto* fieldsBox = new QWidget(this);
    auto* fieldsGrid = new QGridLayout(fieldsBox);
    fieldsGrid->setContentsMargins(0, 0, 0, 0);
    pnlReportFields = new QLabel(QStringLiteral("Report Fields"), fieldsBox);
    pnlReportFields->setObjectName(QStringLiteral("pnlReportFields"));
    pnlReportFields->setFrameStyle(QFrame::Panel | QFrame::Raised);
    pnlReportFields->setAlignment(Qt::AlignCenter);
    lbReportFields = new TFieldListBox(fieldsBox);
    lbReportFields->setObjectName(QStringLiteral("lbReportFields"));
    lbReportFields->setFixedSize(160, 150);
    spbtnMoveUp =
        speedButton(QStringLiteral("spbtnMoveUp"), Qt::UpArrow, {}, QStringLiteral("Move field up in list"), fieldsBox);
    spbtnMoveDown = speedButton(QStringLiteral("spbtnMoveDown"), Qt::DownArrow, {},
                                QStringLiteral("Move field down in list"), fieldsBox);
    SpeedButton1 = speedButton(QStringLiteral("SpeedButton1"), Qt::NoArrow, QStringLiteral("<"),
                               QStringLiteral("Add the field to the report"), fieldsBox);
    spbtnLeftAll = speedButton(QStringLiteral("spbtnLeftAll"), Qt::NoArrow, QStringLiteral("<<"),
                               QStringLiteral("Add all fields"), fieldsBox);
    SpeedButton3 = speedButton(QStringLiteral("SpeedButton3"), Qt::NoArrow, QStringLiteral(">"),
                               QStringLiteral("Remove the field from the report"), fieldsBox);
    spbtnRightAll = speedButton(QStringLiteral("spbtnRightAll"), Qt::NoArrow, QStringLiteral(">>"),
                                QStringLiteral("Remove all fields"), fieldsBox);
    auto* moveCol = new QVBoxLayout;
    moveCol->addStretch();
    moveCol->addWidget(spbtnMoveUp);
    moveCol->addWidget(spbtnMoveDown);
    moveCol->addStretch();
    auto* addCol = new QVBoxLayout;
    addCol->addStretch();
    for (QToolButton* b : {SpeedButton1, spbtnLeftAll, SpeedButton3, spbtnRightAll})
        addCol->addWidget(b);
    addCol->addStretch();

    pnlFieldList = new QPushButton(QStringLiteral("Show Field List"), fieldsBox);
    pnlFieldList->setObjectName(QStringLiteral("pnlFieldList"));
    lbRemainingFields = new TFieldListBox(fieldsBox);
    lbRemainingFields->setObjectName(QStringLiteral("lbRemainingFields"));
    lbRemainingFields->setFixedSize(170, 22);
    lbRemainingFields->hide();
    pnlFieldInfo = new QWidget(fieldsBox);
    auto* infoGrid = new QGridLayout(pnlFieldInfo);
    infoGrid->setContentsMargins(0, 0, 0, 0);
    lblFieldTitle = new QLabel(QStringLiteral("Field Information"), pnlFieldInfo);
    lblFieldTitle->setObjectName(QStringLiteral("lblFieldTitle"));
    QFont bold = lblFieldTitle->font();
    bold.setBold(true);
    lblFieldTitle->setFont(bold);
    infoGrid->addWidget(lblFieldTitle, 0, 0, 1, 2);
    edLabel = labelledEdit(QStringLiteral("edLabel"), QStringLiteral("Label:"), infoGrid, 1, pnlFieldInfo);
    edWidth = labelledEdit(QStringLiteral("edWidth"), QStringLiteral("Width:"), infoGrid, 2, pnlFieldInfo);
    cmboxAlign = new QComboBox(pnlFieldInfo);
    cmboxAlign->setObjectName(QStringLiteral("cmboxAlign"));
    cmboxAlign->addItems(
        {QStringLiteral("taLeftJustify"), QStringLiteral("taCenter"), QStringLiteral("taRightJustify")});
    cmboxAlign->setCurrentIndex(-1);
    infoGrid->addWidget(new QLabel(QStringLiteral("Alignment:"), pnlFieldInfo), 3, 0);
    infoGrid->addWidget(cmboxAlign, 3, 1);
    pnlFieldInfo->setFixedWidth(170);
    auto* rightCol = new QVBoxLayout;
    rightCol->addWidget(pnlFieldList);
    rightCol->addWidget(lbRemainingFields);
    rightCol->addWidget(pnlFieldInfo);
    rightCol->addStretch();

    fieldsGrid->addWidget(pnlReportFields, 0, 0);
    fieldsGrid->addWidget(lbReportFields, 1, 0);
    fieldsGrid->addLayout(moveCol, 1, 1);
    fieldsGrid->addLayout(addCol, 1, 2);
    fieldsGrid->addLayout(rightCol, 0, 3, 2, 1);

    // Titles
    auto* titleGrid = new QGridLayout;
    edTitle = labelledEdit(QStringLiteral("edTitle"), QStringLiteral("Title Text:"), titleGrid, 0, this);
    edSubTitle = labelledEdit(QStringLiteral("edSubTitle"), QStringLiteral("Sub-Title Text:"), titleGrid, 1, this);
    chboxCenterTitle = new QCheckBox(QStringLiteral("Center Titles on Page"), this);
    chboxCenterTitle->setObjectName(QStringLiteral("chboxCenterTitle"));
    chboxCenterTitle->setChecked(true);
    titleGrid->addWidget(chboxCenterTitle, 2, 1);

    // The notebook
    TabbedNotebook1 = new QTabWidget(this);
    TabbedNotebook1->setObjectName(QStringLiteral("TabbedNotebook1"));
    auto* datePage = new QWidget;
    auto* dateLayout = new QHBoxLayout(datePage);
    rgrpDatePos = new TRadioGroup(
        QStringLiteral("Position:"),
        {QStringLiteral("None"), QStringLiteral("Left"), QStringLiteral("Center"), QStringLiteral("Right")}, datePage);
    rgrpDatePos->setObjectName(QStringLiteral("rgrpDatePos"));
    edDateFormat = new QLineEdit(datePage);
    edDateFormat->setObjectName(QStringLiteral("edDateFormat"));
    dateLayout->addWidget(rgrpDatePos);
    dateLayout->addWidget(new QLabel(QStringLiteral("Format:"), datePage));
    dateLayout->addWidget(edDateFormat);
    auto* dividerPage = new QWidget;
    auto* dividerLayout = new QHBoxLayout(dividerPage);
    rgrpDivider = new TRadioGroup(
        QStringLiteral("Type"), {QStringLiteral("None"), QStringLiteral("Solid"), QStringLiteral("Dash")}, dividerPage);
    rgrpDivider->setObjectName(QStringLiteral("rgrpDivider"));
    rgrpDivider->setItemIndex(0);
    dividerLayout->addWidget(rgrpDivider);
    dividerLayout->addStretch();
    auto* pageNumPage = new QWidget;
    auto* pageNumLayout = new QHBoxLayout(pageNumPage);
    rgrpPageNum = new TRadioGroup(
        QStringLiteral("Location:"),
        {QStringLiteral("None"), QStringLiteral("Bottom-Center"), QStringLiteral("Top-Right")}, pageNumPage);
    rgrpPageNum->setObjectName(QStringLiteral("rgrpPageNum"));
    edPageNumLabel = new QLineEdit(pageNumPage);
    edPageNumLabel->setObjectName(QStringLiteral("edPageNumLabel"));
    pageNumLayout->addWidget(rgrpPageNum);
    pageNumLayout->addWidget(new QLabel(QStringLiteral("Label:"), pageNumPage));
    pageNumLayout->addWidget(edPageNumLabel);
    auto* fontsPage = new QWidget;
    auto* fontsGrid = new QGridLayout(fontsPage);
    const auto fontRow = [&](const QString& name, const QString& caption, const QString& labelName, int row,
                             QPushButton*& button, QLabel*& sample) {
        button = new QPushButton(caption, fontsPage);
        button->setObjectName(name);
        sample = new QLabel(caption, fontsPage);
        sample->setObjectName(labelName);
        fontsGrid->addWidget(button, row, 0);
        fontsGrid->addWidget(sample, row, 1);
        connect(button, &QPushButton::clicked, this, [this, row] { fontButtonClick(row); });
    };
    fontRow(QStringLiteral("btnTitle"), QStringLiteral("Title"), QStringLiteral("lblTitleFont"), 0, btnTitle,
            lblTitleFont);
    fontRow(QStringLiteral("btnSubTitle"), QStringLiteral("Sub-Title"), QStringLiteral("lblSubFont"), 1, btnSubTitle,
            lblSubFont);
    fontRow(QStringLiteral("btnHeading"), QStringLiteral("Heading"), QStringLiteral("lblHeadFont"), 2, btnHeading,
            lblHeadFont);
    fontRow(QStringLiteral("btnBody"), QStringLiteral("Body"), QStringLiteral("lblBodyFont"), 3, btnBody, lblBodyFont);
    auto* paperPage = new QWidget;
    auto* paperLayout = new QHBoxLayout(paperPage);
    lbPageSize = new QListWidget(paperPage);
    lbPageSize->setObjectName(QStringLiteral("lbPageSize"));
    lbPageSize->addItems({QStringLiteral("Letter (8.5x11)"), QStringLiteral("Legal (8.5x14)"), QStringLiteral("A4")});
    rgrpOrient = new TRadioGroup(QStringLiteral("Orientation:"),
                                 {QStringLiteral("Portrait"), QStringLiteral("Landscape")}, paperPage);
    rgrpOrient->setObjectName(QStringLiteral("rgrpOrient"));
    rgrpOrient->setItemIndex(0);
    paperLayout->addWidget(lbPageSize);
    paperLayout->addWidget(rgrpOrient);
    auto* orderPage = new QWidget;
    auto* orderLayout = new QHBoxLayout(orderPage);
    lbIndexes = new QListWidget(orderPage);
    lbIndexes->setObjectName(QStringLiteral("lbIndexes"));
    orderLayout->addWidget(lbIndexes);
    TabbedNotebook1->addTab(datePage, QStringLiteral("Date"));
    TabbedNotebook1->addTab(dividerPage, QStringLiteral("Divider"));
    TabbedNotebook1->addTab(pageNumPage, QStringLiteral("Page#s"));
    TabbedNotebook1->addTab(fontsPage, QStringLiteral("Fonts"));
    TabbedNotebook1->addTab(paperPage, QStringLiteral("Page"));
    TabbedNotebook1->addTab(orderPage, QStringLiteral("Ordering"));
    TabbedNotebook1->setCurrentIndex(3);
    TabbedNotebook1->setFixedHeight(170);

    // Preview and buttons
    frmgenPreview = new TFormGenWin(this);
    frmgenPreview->setObjectName(QStringLiteral("frmgenPreview"));
    frmgenPreview->setOptions(0);
    frmgenPreview->setFixedSize(460, 300);
    frmgenPreview->OnBuildReport = [this](TFormGenWin* sender) { frmgenPreviewBuildReport(sender); };
    rgrpZoom = new TRadioGroup(QStringLiteral("Zoom Level:"),
                               {QStringLiteral("100%"), QStringLiteral("50%"), QStringLiteral("25%")}, this);
    rgrpZoom->setObjectName(QStringLiteral("rgrpZoom"));
    rgrpZoom->setItemIndex(1);
    btnRefresh = new QPushButton(QStringLiteral("Refresh Preview"), this);
    btnRefresh->setObjectName(QStringLiteral("btnRefresh"));
    btnRefresh->setFont(bold);
    bbtnOk = new QPushButton(QStringLiteral("OK"), this);
    bbtnOk->setObjectName(QStringLiteral("bbtnOk"));
    bbtnOk->setDefault(true);
    bbtnCancel = new QPushButton(QStringLiteral("Cancel"), this);
    bbtnCancel->setObjectName(QStringLiteral("bbtnCancel"));
    // Where a design changed here is kept, shown when the reports window keeps it.
    lblKeepDesign = new QLabel(QStringLiteral("Keep Design:"), this);
    lblKeepDesign->setObjectName(QStringLiteral("lblKeepDesign"));
    cmboxKeepDesign = new QComboBox(this);
    cmboxKeepDesign->setObjectName(QStringLiteral("cmboxKeepDesign"));
    cmboxKeepDesign->addItems(
        {QStringLiteral("With the alias's settings"), QStringLiteral("In the database's folder")});
    cmboxKeepDesign->setToolTip(QStringLiteral("Where OK keeps this design for the security database"));
    lblKeepDesign->setBuddy(cmboxKeepDesign);
    btnRestoreDefault = new QPushButton(QStringLiteral("Restore Default Design"), this);
    btnRestoreDefault->setObjectName(QStringLiteral("btnRestoreDefault"));
    for (QWidget* w : {static_cast<QWidget*>(lblKeepDesign), static_cast<QWidget*>(cmboxKeepDesign),
                       static_cast<QWidget*>(btnRestoreDefault)})
        w->hide();
    auto* side = new QVBoxLayout;
    side->addWidget(rgrpZoom);
    side->addWidget(btnRefresh);
    side->addStretch();
    side->addWidget(lblKeepDesign);
    side->addWidget(cmboxKeepDesign);
    side->addWidget(btnRestoreDefault);
    side->addWidget(bbtnOk);
    side->addWidget(bbtnCancel);

    auto* upperRight = new QVBoxLayout;
    upperRight->addLayout(titleGrid);
    upperRight->addWidget(TabbedNotebook1);
    top->addWidget(fieldsBox, 0, 0);
    top->addLayout(upperRight, 0, 1);
    top->addWidget(frmgenPreview, 1, 0, 1, 1);
    top->addLayout(side, 1, 1);

    // Handlers
    lbReportFields->setHandlers([this](QObject* source, QPoint p) { return lbReportFieldsDragOver(source, p); },
                                [this](QObject* source, QPoint p) { lbReportFieldsDragDrop(source, p); });
    lbRemainingFields->setHandlers([this](QObject* source, QPoint) { return lbRemainingFieldsDragOver(source); },
                                   [this](QObject* source, QPoint) { lbRemainingFieldsDragDrop(source); });
    connect(pnlFieldList, &QPushButton::clicked, this, &TfrmReportDesigner::pnlFieldListClick);
    connect(lbReportFields, &QListWidget::itemClicked, this, &TfrmReportDesigner::lbReportFieldsClick);
    // A field chosen with the arrows shows its label, width and alignment too.
    connect(lbReportFields, &QListWidget::itemSelectionChanged, this, &TfrmReportDesigner::lbReportFieldsClick);
    connect(lbReportFields, &QListWidget::itemDoubleClicked, this, &TfrmReportDesigner::SpeedButton3Click);
    connect(lbRemainingFields, &QListWidget::itemDoubleClicked, this, &TfrmReportDesigner::SpeedButton1Click);
    connect(edLabel, &QLineEdit::textEdited, this, &TfrmReportDesigner::edLabelChange);
    connect(edWidth, &QLineEdit::textEdited, this, &TfrmReportDesigner::edWidthChange);
    connect(cmboxAlign, &QComboBox::activated, this, &TfrmReportDesigner::cmboxAlignChange);
    connect(spbtnMoveUp, &QToolButton::clicked, this, &TfrmReportDesigner::spbtnMoveUpClick);
    connect(spbtnMoveDown, &QToolButton::clicked, this, &TfrmReportDesigner::spbtnMoveDownClick);
    connect(SpeedButton1, &QToolButton::clicked, this, &TfrmReportDesigner::SpeedButton1Click);
    connect(SpeedButton3, &QToolButton::clicked, this, &TfrmReportDesigner::SpeedButton3Click);
    connect(spbtnLeftAll, &QToolButton::clicked, this, &TfrmReportDesigner::spbtnLeftAllClick);
    connect(spbtnRightAll, &QToolButton::clicked, this, &TfrmReportDesigner::spbtnRightAllClick);
    connect(rgrpZoom, &TRadioGroup::clicked, this, &TfrmReportDesigner::rgrpZoomClick);
    connect(btnRefresh, &QPushButton::clicked, this, &TfrmReportDesigner::refreshPreview);
    connect(rgrpDivider, &TRadioGroup::clicked, this, &TfrmReportDesigner::refreshPreview);
    connect(rgrpDatePos, &TRadioGroup::clicked, this, &TfrmReportDesigner::rgrpDatePosClick);
    connect(rgrpPageNum, &TRadioGroup::clicked, this, &TfrmReportDesigner::rgrpPageNumClick);
    connect(lbPageSize, &QListWidget::itemClicked, this, &TfrmReportDesigner::lbPageSizeClick);
    connect(rgrpOrient, &TRadioGroup::clicked, this, &TfrmReportDesigner::lbPageSizeClick);
    connect(bbtnOk, &QPushButton::clicked, this, &TfrmReportDesigner::bbtnOkClick);
    connect(bbtnCancel, &QPushButton::clicked, this, &QDialog::reject);
    connect(btnRestoreDefault, &QPushButton::clicked, this, &TfrmReportDesigner::btnRestoreDefaultClick);
}

// ---------------------------------------------------------------- the definition's Design

// TReportDesign::Design opens this dialog; it is defined here, with the windows, so
// that the report definitions link no window.
bool TReportDesign::Design(Keeping* keeping)
{
    if (!m_dataSet)
        return false;
    TfrmReportDesigner designer(nullptr);
    designer.setDefinition(this);
    if (keeping)
        designer.offerKeeping(keeping->place);
    if (!designer.FormShow())
        return false;
    const int result = designer.exec();
    if (keeping) {
        keeping->place = designer.keepPlace();
        keeping->restoreDefault = result == TfrmReportDesigner::RestoreDefault;
    }
    return result == QDialog::Accepted;
}
