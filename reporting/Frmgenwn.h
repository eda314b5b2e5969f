#pragma once
// TFormGenWin: records a document as page commands (DrawCmd.h), shows one page at a
// time at a chosen zoom, and replays the same commands on a printer or into a PDF
// file. A producer fills it inside OnBuildReport through the drawing primitives and
// NewPage; positions are inches from the paper's top left corner, the paper size is
// in tenths of an inch. An attached navigator (TFormGenNav) hears of every change.

#include "reporting/DrawCmd.h"

#include <QBrush>
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

class TFormGenWin : public QFrame {
    Q_OBJECT
public:
    explicit TFormGenWin(QWidget* owner = nullptr);
    ~TFormGenWin() override;

    int phyWidth() const { return m_phyWidth; }
    void setPhyWidth(int tenths);
    int phyHeight() const { return m_phyHeight; }
    void setPhyHeight(int tenths);
    Qt::Alignment alignment() const { return m_alignment; }
    void setAlignment(Qt::Alignment alignment) { m_alignment = alignment; }
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

    TFont& textFont() { return m_textFont; }
    void setTextFont(const TFont& font) { m_textFont = font; }
    QBrush textBrush() const { return m_textBrush; }
    void setTextBrush(const QBrush& brush) { m_textBrush = brush; }
    double penWidth() const { return m_penWidth; }
    void setPenWidth(double inches) { m_penWidth = inches; }
    double textMargin() const { return m_textMargin; }
    void setTextMargin(double inches) { m_textMargin = inches; }
    bool boxText() const { return m_boxText; }
    void setBoxText(bool on) { m_boxText = on; }
    bool wordWrap() const { return m_wordWrap; }
    void setWordWrap(bool on) { m_wordWrap = on; }
    bool clipText() const { return m_clipText; }
    void setClipText(bool on) { m_clipText = on; }
    bool singleLine() const { return m_singleLine; }
    void setSingleLine(bool on) { m_singleLine = on; }

    double pageWidth() const { return m_pageWidth; }
    double pageHeight() const { return m_pageHeight; }
    int pageCount() const { return m_pageCount; }
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
    // The name of a print job, and the title of a PDF file that Print writes.
    QString documentTitle() const { return m_documentTitle; }
    void setDocumentTitle(const QString& title) { m_documentTitle = title; }

    // The recording, in creation order.
    const std::vector<std::unique_ptr<TDrawCmd>>& commands() const { return m_commands; }
    int commandCount() const { return int(m_commands.size()); }
    // The commands of one page: a range of the list, as pages only grow while
    // recording.
    std::pair<int, int> pageRange(int page) const;

    // Drawing primitives: each adds one command to page pageCount().
    void Line(double x1, double y1, double x2, double y2);
    void Box(double x1, double y1, double x2, double y2);
    void Ellipse(double x1, double y1, double x2, double y2);
    void TextRect(const QString& text, double x1, double y1, double x2, double y2);
    // As TextRect; an empty text adds nothing.
    void StrRect(const QString& text, double x1, double y1, double x2, double y2);
    void RotateText(const QString& text, double x, double y, double angle);
    void GraphicImage(const QImage& graphic, double x, double y);
    void SizedImage(const QImage& graphic, double x1, double y1, double x2, double y2);
    void StartMultiLine(double x, double y);
    void AddLine(const QString& text);
    double multiLineX() const { return m_multiX; }
    double multiLineY() const { return m_multiY; }

    void NewPage() { ++m_pageCount; }
    void Execute();
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
    // Replays every page into a PDF file with the title as the document title;
    // false (with the reason in error) when the file cannot be written.
    bool SaveToPdf(const QString& fileName, const QString& title, QString* error = nullptr);
    void ScrollDownPage();
    void ScrollUpPage();
    void ScrollRightPage();
    void ScrollLeftPage();

    // Inches that a text takes in textFont() at screen resolution (96 pixels per
    // inch, the same on every machine).
    double GetTextHeight(const QString& text);
    double GetTextWidth(const QString& text);

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
    template <class Cmd>
    Cmd* addCommand();
    void clearCommands();
    static void setBox(TBoxCmd* cmd, double x1, double y1, double x2, double y2);
    // The pen and brush state of a new box, ellipse or text box.
    TDrawState boxState() const;
    // The state given, shared with earlier commands recorded in the same state.
    TDrawStatePtr shareState(const TDrawState& state);
    void applyPageSize();
    void applyZoomFit();
    void showPage(int page, bool atBottom = false);
    void print(bool askFirst);
    void resizePageImage(int width, int height);
    void updatePageImage();
    quint16 textFormat() const;
    bool passOnDrag(QWidget* surface, QEvent* event);

    int m_phyWidth = 85;
    int m_phyHeight = 110;
    Qt::Alignment m_alignment = Qt::AlignLeft;
    TFrmGenOptions m_options = foShowDialog | foShowPrint;
    TFont m_textFont;
    QBrush m_textBrush {Qt::white, Qt::NoBrush};
    double m_penWidth = 0.01;
    double m_textMargin = 0.025;
    bool m_boxText = false;
    bool m_wordWrap = true;
    bool m_clipText = true;
    bool m_singleLine = false;
    double m_multiX = 0;
    double m_multiY = 0;
    double m_pageWidth = 8.5;
    double m_pageHeight = 11;
    int m_pageCount = 1;
    int m_currentPage = 1;
    int m_zoomMode = 1;
    int m_zoomPercent = 100;
    TZoomFit m_zoomFit = zfNone;
    int m_printFromPage = 0;
    int m_printToPage = 0;
    int m_printCopies = 0;
    bool m_printCollate = false;
    QString m_documentTitle;
    std::vector<std::unique_ptr<TDrawCmd>> m_commands;
    std::vector<TDrawStatePtr> m_states; // the states the commands share
    QPointer<QObject> m_navigator;
    std::function<void()> m_notify;
    bool m_destroying = false;
    QPoint m_dragPosition; // of the last drag event, for the leave
    bool m_dropAccepted = false; // the last OnDragOver answer

    QScrollArea* m_scrollBox;
    QWidget* m_surround; // the grey margin around the page, inside the scroll box
    TPageImage* m_pageImage;
};
