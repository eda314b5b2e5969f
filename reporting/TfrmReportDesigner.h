#pragma once
// TfrmReportDesigner (unit Frmdsgn): edits one report layout (TReportDesign): the
// columns and their order, each column's heading, width and alignment, title lines,
// date and page numbers, divider, fonts, paper size and orientation, and for a table
// the index that orders its rows. A small preview shows a sample page of the settings.
// OK writes the settings into the layout; headings, widths and alignments are set on
// the record set's fields at once, so Cancel keeps them.

#include "reporting/TFont.h"

#include <QDialog>
#include <QListWidget>

#include <functional>

class QCheckBox;
class QComboBox;
class QLabel;
class QLineEdit;
class QPushButton;
class QTabWidget;
class QToolButton;
class TField;
class TFormGenWin;
class TRadioGroup;
class TReportDesign;

// A list box of field names that hands drags and drops to its dialog.
class TFieldListBox : public QListWidget {
    Q_OBJECT
public:
    using DragOverHandler = std::function<bool(QObject* source, QPoint position)>;
    using DropHandler = std::function<void(QObject* source, QPoint position)>;
    explicit TFieldListBox(QWidget* parent = nullptr);
    void setHandlers(DragOverHandler over, DropHandler drop);
    QStringList texts() const;
    int itemIndex() const;
    void setItemIndex(int index);

protected:
    void dragEnterEvent(QDragEnterEvent* event) override;
    void dragMoveEvent(QDragMoveEvent* event) override;
    void dropEvent(QDropEvent* event) override;

private:
    DragOverHandler m_over;
    DropHandler m_drop;
};

class TfrmReportDesigner : public QDialog {
    Q_OBJECT
public:
    explicit TfrmReportDesigner(QWidget* owner = nullptr);
    ~TfrmReportDesigner() override;

    void setDefinition(TReportDesign* definition) { m_definition = definition; }
    TReportDesign* definition() const { return m_definition; }

    // The dialog's result when the user asks for the default design back.
    static constexpr int RestoreDefault = 2;
    // Shows where the design is kept (0 with the alias's settings, 1 in the
    // database's folder) and the "Restore Default Design" button.
    void offerKeeping(int place);
    int keepPlace() const;
    // Asks, then closes the dialog with RestoreDefault.
    void btnRestoreDefaultClick();

    // Fills the dialog from the definition; false (after "Invalid Table Property.")
    // when its record set cannot be opened, and the dialog is then closed.
    bool FormShow();

    void pnlFieldListClick();
    void lbReportFieldsClick();
    void edLabelChange();
    void edWidthChange();
    void cmboxAlignChange();
    void spbtnMoveUpClick();
    void spbtnMoveDownClick();
    void SpeedButton1Click();
    void SpeedButton3Click();
    void spbtnLeftAllClick();
    void spbtnRightAllClick();
    bool lbReportFieldsDragOver(QObject* source, QPoint position);
    void lbReportFieldsDragDrop(QObject* source, QPoint position);
    bool lbRemainingFieldsDragOver(QObject* source);
    void lbRemainingFieldsDragDrop(QObject* source);
    void fontButtonClick(int which); // 0 title, 1 sub-title, 2 heading, 3 body
    void rgrpZoomClick();
    void rgrpDatePosClick();
    void rgrpPageNumClick();
    void lbPageSizeClick();
    void frmgenPreviewBuildReport(TFormGenWin* sender);
    void bbtnOkClick();
    // Rebuilds the sample page.
    void refreshPreview();

    // Replaces the font dialog (tests); returns whether the font was chosen.
    using FontChooser = std::function<bool(TFont& font)>;
    static void setFontChooser(FontChooser chooser);

    QLabel* pnlReportFields;
    TFieldListBox* lbReportFields;
    QPushButton* pnlFieldList;
    TFieldListBox* lbRemainingFields;
    QWidget* pnlFieldInfo;
    QLabel* lblFieldTitle;
    QLineEdit* edLabel;
    QLineEdit* edWidth;
    QComboBox* cmboxAlign;
    QToolButton* spbtnMoveUp;
    QToolButton* spbtnMoveDown;
    QToolButton* SpeedButton1;
    QToolButton* spbtnLeftAll;
    QToolButton* SpeedButton3;
    QToolButton* spbtnRightAll;
    QLineEdit* edTitle;
    QLineEdit* edSubTitle;
    QCheckBox* chboxCenterTitle;
    QTabWidget* TabbedNotebook1;
    TRadioGroup* rgrpDatePos;
    QLineEdit* edDateFormat;
    TRadioGroup* rgrpDivider;
    TRadioGroup* rgrpPageNum;
    QLineEdit* edPageNumLabel;
    QPushButton* btnTitle;
    QPushButton* btnSubTitle;
    QPushButton* btnHeading;
    QPushButton* btnBody;
    QLabel* lblTitleFont;
    QLabel* lblSubFont;
    QLabel* lblHeadFont;
    QLabel* lblBodyFont;
    QListWidget* lbPageSize;
    TRadioGroup* rgrpOrient;
    QListWidget* lbIndexes;
    TFormGenWin* frmgenPreview;
    TRadioGroup* rgrpZoom;
    QPushButton* btnRefresh;
    QPushButton* bbtnOk;
    QPushButton* bbtnCancel;
    QLabel* lblKeepDesign;
    QComboBox* cmboxKeepDesign;
    QPushButton* btnRestoreDefault;

private:
    void buildControls();
    TField* selectedField() const;
    void moveReportField(int from, int to);
    void showFontSample(QLabel* label, const TFont& font);
    int rowAt(QListWidget* list, QPoint position) const;

    TReportDesign* m_definition = nullptr;
    bool m_wasOpen = true;
    bool m_shown = false;
    TFont m_fonts[4]; // title, sub-title, heading, body
};
