#pragma once
// TFormGenNav (unit Frmgennav): the button bar bound to one preview window: build,
// print, previous and next page, clear, and an editable zoom box in percent (or fitted
// to the window). On request it also offers the print dialog, first and last page, a
// page box to jump to a page with "Page n of N" beside it, and the paging keys anywhere
// in its window. It keeps the controls in step with the window, and its owner may veto
// or replace each action through OnNavEvent.

#include <QFrame>
#include <QPointer>
#include <QStringList>

#include <functional>
#include <vector>

class QComboBox;
class QLabel;
class QShortcut;
class QSpinBox;
class QToolButton;
class TFormGenWin;

// The first six kinds make the classic bar; the others are shown only on request.
// nbPageBox is the page box with "Page n of N" beside it.
enum TVisBtnType {
    nbExecute = 0,
    nbZoom = 1,
    nbPrint = 2,
    nbPrevPage = 3,
    nbNextPage = 4,
    nbClear = 5,
    nbFirstPage = 6,
    nbLastPage = 7,
    nbPageBox = 8,
    nbPrintDialog = 9
};
using TVisBtnSet = int; // bit (1 << kind) for each kind
constexpr TVisBtnSet visBtn(TVisBtnType kind) { return 1 << kind; }
constexpr TVisBtnSet allVisBtns = 0x3f;
constexpr TVisBtnSet allNavControls = 0x3ff;

enum TFGEvent {
    fgeExecute = 0,
    fgePrint,
    fgePrevPage,
    fgeNextPage,
    fgeClear,
    fgeZoom,
    fgeFirstPage,
    fgeLastPage,
    fgeGoToPage,
    fgePrintDialog
};
class TFormGenNav;
using TFGNotify = std::function<void(TFormGenNav* sender, TFGEvent event, bool& doDefault)>;

class TFormGenNav : public QFrame {
    Q_OBJECT
public:
    explicit TFormGenNav(QWidget* owner = nullptr);
    ~TFormGenNav() override;

    QStringList hints() const { return m_hints; }
    // Entries 0 to 4 are the hints of the buttons in order, entry 5 the zoom box's.
    void setHints(const QStringList& hints);
    TVisBtnSet visibleButtons() const { return m_visible; }
    // An empty set counts as the build button alone.
    void setVisibleButtons(TVisBtnSet buttons);
    TFormGenWin* formComponent() const { return m_form; }
    void setFormComponent(TFormGenWin* window);

    TFGNotify OnNavEvent;

    // Brings the buttons and the zoom box up to date and repaints the bar.
    void Update();

    // The buttons by index (0 build, 1 print, 2 previous, 3 next, 4 clear).
    QToolButton* button(int index) const { return m_buttons[index]; }
    QToolButton* firstPageButton() const { return m_firstPage; }
    QToolButton* lastPageButton() const { return m_lastPage; }
    QToolButton* printDialogButton() const { return m_printDialog; }
    QComboBox* zoomBox() const { return m_zoomBox; }
    QSpinBox* pageBox() const { return m_pageBox; }
    QLabel* pageLabel() const { return m_pageLabel; }

    void buttonClick(int index);
    void zoomBoxChange();
    // The actions of the optional controls: first and last page, the page typed in
    // the page box, and printing after the print dialog.
    void navAction(TFGEvent event);

    // The bar's size for its visible controls with buttons of a comfortable width.
    QSize sizeHint() const override;

protected:
    void resizeEvent(QResizeEvent* event) override;
    void showEvent(QShowEvent* event) override;
    void changeEvent(QEvent* event) override;

private:
    void formNotify();
    void updateState();
    void layoutBar();
    int extraWidth() const;
    int visibleButtonCount() const;
    void createShortcuts();
    // Page Up, Page Down, Home and End: the preview's keys from anywhere in the
    // window, except in a list that uses them itself.
    void pagingKey(int key, Qt::KeyboardModifiers modifiers);

    QToolButton* m_buttons[5];
    QToolButton* m_firstPage;
    QToolButton* m_lastPage;
    QToolButton* m_printDialog;
    QComboBox* m_zoomBox;
    QSpinBox* m_pageBox;
    QLabel* m_pageLabel;
    int m_pageBoxWidth = 0;
    int m_pageLabelWidth = 0;
    std::vector<QShortcut*> m_pagingKeys;
    QShortcut* m_printKey = nullptr;
    QStringList m_hints;
    TVisBtnSet m_visible = allVisBtns;
    QPointer<TFormGenWin> m_form;
    bool m_updating = false;
    bool m_layingOut = false;
};
