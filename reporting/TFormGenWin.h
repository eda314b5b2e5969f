#pragma once
// TFormGenWin (unit Frmgenwn): a document of page commands (TPageDocument) shown one
// page at a time at a chosen zoom, and replayed on a printer. A producer fills it
// inside OnBuildReport through the document's drawing primitives and NewPage. An
// attached navigator (TFormGenNav) hears of every change.

#include "reporting/TPageDocument.h"

#include <QFrame>
#include <QPointer>

#include <functional>
#include <memory>
#include <vector>

class QScrollArea;
class TPageImage;

enum TFrmGenOption { foShowDialog = 1, foShowPrint = 2 };
// A zoom that follows the window's size: the page as wide as the scroll box, or
// the whole page inside it.
enum TZoomFit { zfNone, zfWidth, zfPage };
// Where a drag over the window stands: it came in, it left, or it moved inside.
enum TDragState { dsDragEnter, dsDragLeave, dsDragMove };
using TFrmGenOptions = int;

class TFormGenWin : public QFrame, public TPageDocument {
    Q_OBJECT
public:
    explicit TFormGenWin(QWidget* owner = nullptr);
    ~TFormGenWin() override;

    // The document's box, not the frame's shape of that name.
    using TPageDocument::Box;

    TFrmGenOptions options() const { return m_options; }
    void setOptions(TFrmGenOptions options) { m_options = options; }

    // Called by Execute to fill the window.
    std::function<void(TFormGenWin*)> OnBuildReport;
    // A drag over the scroll box or the page image, at a position in the window's
    // client coordinates; the answer says whether a drop would be taken there. The
    // source is the widget the drag started from, null when it came from another
    // program. Without a handler the window takes no drops.
    std::function<bool(QObject* source, QPoint position, TDragState state)> OnDragOver;
    // A drop that the last OnDragOver answer accepted.
    std::function<void(QObject* source, QPoint position)> OnDragDrop;

    int currentPage() const { return m_currentPage; }
    int zoomMode() const { return m_zoomMode; }
    // Accepts 1 to 3 (full, half, quarter size); does not notify.
    void setZoomMode(int mode);
    int zoomPercent() const { return m_zoomPercent; }
    // Accepts 25 to 200 and switches to percentage mode; does not notify.
    void setZoomPercent(int percent);
    // Zooms so that the page fits the scroll box's width or the whole box (within 25
    // to 200 %), and keeps it fitted while the window changes size, until another
    // zoom is chosen. Notifies.
    void setZoomFit(TZoomFit fit);
    TZoomFit zoomFit() const { return m_zoomFit; }
    // The page image's size in pixels.
    QSize pageImageSize() const;

    int printFromPage() const { return m_printFromPage; }
    void setPrintFromPage(int page) { m_printFromPage = page; }
    int printToPage() const { return m_printToPage; }
    void setPrintToPage(int page) { m_printToPage = page; }
    int printCopies() const { return m_printCopies; }
    void setPrintCopies(int copies) { m_printCopies = copies; }
    bool printCollate() const { return m_printCollate; }
    void setPrintCollate(bool on) { m_printCollate = on; }
    // Records the pages anew through OnBuildReport.
    void Execute();
    // As the document's, with the wait box of foShowDialog, page 1 shown and the
    // navigator told.
    void record(const std::function<void(TPageDocument&)>& build) override;
    void Clear();
    void Zoom();
    void NextPage();
    void PrevPage();
    void FirstPage();
    void LastPage();
    // Shows the page; numbers outside the document are ignored.
    void GoToPage(int page);
    // Page Down and Page Up: scroll a screen, and at the page's bottom (top) turn to
    // the next (previous) page.
    void ScrollDownOrNextPage();
    void ScrollUpOrPrevPage();
    // Prints at once unless foShowPrint asks for the print dialog.
    void Print();
    // Prints after the print dialog (printer or PDF file, copies, collation, pages)
    // whatever the options say.
    void PrintWithDialog();
    void ScrollDownPage();
    void ScrollUpPage();
    void ScrollRightPage();
    void ScrollLeftPage();

    // Paints the current page as the page image shows it (outline and commands).
    void paintPage(QPainter& painter, const QSize& imageSize) const;

    // The navigator registers here; it is told after each change.
    void attachNavigator(QObject* navigator, std::function<void()> notify);
    void detachNavigator();
    bool destroying() const { return m_destroying; }
    void notifyNavigator();

    QScrollArea* scrollBox() const { return m_scrollBox; }
    QWidget* pageImage() const;

signals:
    void clicked();
    void doubleClicked();
    void mousePressed(Qt::MouseButton button, QPoint position);
    void mouseMoved(QPoint position);
    void mouseReleased(Qt::MouseButton button, QPoint position);

protected:
    void keyPressEvent(QKeyEvent* event) override;
    // The frame turns the highlight colour while the window has the focus, so that
    // a keyboard user sees where the paging keys go.
    void paintEvent(QPaintEvent* event) override;
    void focusInEvent(QFocusEvent* event) override;
    void focusOutEvent(QFocusEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    friend class TFormGenWinPrinter;
    // The page image takes the paper's size at the zoom.
    void pageSizeChanged() override;
    void applyZoomFit();
    void showPage(int page, bool atBottom = false);
    void print(bool askFirst);
    void resizePageImage(int width, int height);
    void updatePageImage();
    bool passOnDrag(QWidget* surface, QEvent* event);

    TFrmGenOptions m_options = foShowDialog | foShowPrint;
    int m_currentPage = 1;
    int m_zoomMode = 1;
    int m_zoomPercent = 100;
    TZoomFit m_zoomFit = zfNone;
    int m_printFromPage = 0;
    int m_printToPage = 0;
    int m_printCopies = 0;
    bool m_printCollate = false;
    QPointer<QObject> m_navigator;
    std::function<void()> m_notify;
    bool m_destroying = false;
    QPoint m_dragPosition; // of the last drag event, for the leave
    bool m_dropAccepted = false; // the last OnDragOver answer

    QScrollArea* m_scrollBox;
    QWidget* m_surround; // the grey margin around the page, inside the scroll box
    TPageImage* m_pageImage;
};
