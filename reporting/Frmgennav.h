#pragma once
// TFormGenNav: the button bar bound to one preview window: build, print, previous
// and next page, clear, and an editable zoom box in percent. It keeps the buttons'
// enabled state in step with the window, and its owner may veto or replace each
// action through OnNavEvent.

#include <QFrame>
#include <QPointer>
#include <QStringList>

#include <functional>

class QComboBox;
class QToolButton;
class TFormGenWin;

enum TVisBtnType { nbExecute = 0, nbZoom = 1, nbPrint = 2, nbPrevPage = 3, nbNextPage = 4, nbClear = 5 };
using TVisBtnSet = int; // bit (1 << kind) for each kind
constexpr TVisBtnSet visBtn(TVisBtnType kind) { return 1 << kind; }
constexpr TVisBtnSet allVisBtns = 0x3f;

enum TFGEvent { fgeExecute = 0, fgePrint, fgePrevPage, fgeNextPage, fgeClear, fgeZoom };
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
    QComboBox* zoomBox() const { return m_zoomBox; }

    void buttonClick(int index);
    void zoomBoxChange();

protected:
    void resizeEvent(QResizeEvent* event) override;
    void showEvent(QShowEvent* event) override;
    void changeEvent(QEvent* event) override;

private:
    void formNotify();
    void updateState();
    void layoutBar();

    QToolButton* m_buttons[5];
    QComboBox* m_zoomBox;
    QStringList m_hints;
    TVisBtnSet m_visible = allVisBtns;
    QPointer<TFormGenWin> m_form;
    bool m_updating = false;
    bool m_layingOut = false;
};
