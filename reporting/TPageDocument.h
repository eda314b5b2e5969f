#pragma once
// TPageDocument: a document recorded as page commands (TDrawCmd.h), with no window: the
// drawing primitives a report is built with, the paper size, text measured at 96
// pixels per inch, and the replay of the pages into a PDF file. Positions are inches
// from the paper's top left corner, the paper size is in tenths of an inch. The
// preview window TFormGenWin is such a document shown on screen; jovsecadm builds its
// reports into a plain one.

#include "reporting/TDrawCmd.h"

#include <QBrush>

#include <functional>
#include <memory>
#include <vector>

class TPageDocument {
public:
    TPageDocument();
    virtual ~TPageDocument();
    TPageDocument(const TPageDocument&) = delete;
    TPageDocument& operator=(const TPageDocument&) = delete;

    int phyWidth() const { return m_phyWidth; }
    void setPhyWidth(int tenths);
    int phyHeight() const { return m_phyHeight; }
    void setPhyHeight(int tenths);
    double pageWidth() const { return m_pageWidth; }
    double pageHeight() const { return m_pageHeight; }
    // The horizontal alignment of the next text boxes.
    Qt::Alignment alignment() const { return m_alignment; }
    void setAlignment(Qt::Alignment alignment) { m_alignment = alignment; }

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

    int pageCount() const { return m_pageCount; }
    // The name of a print job, and the title of a PDF file.
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

    // Records the document anew: the old pages go, and build draws the new ones.
    virtual void record(const std::function<void(TPageDocument&)>& build);

    // Inches that a text takes in textFont() at screen resolution (96 pixels per
    // inch, the same on every machine).
    double GetTextHeight(const QString& text);
    double GetTextWidth(const QString& text);

    // Replays the commands of a page on a painter of a device with the given pixels
    // per inch, shifted by an offset in device pixels.
    void replayPage(int page, QPainter& canvas, QPoint offset, double scaleX, double scaleY) const;
    // Replays every page into a PDF file with the title as the document title;
    // false (with the reason in error) when the file cannot be written.
    bool SaveToPdf(const QString& fileName, const QString& title, QString* error = nullptr) const;

protected:
    // Told after the paper size changed.
    virtual void pageSizeChanged() { }
    // Forgets the pages: no commands, one empty page.
    void clearPages();
    // Forgets the pages and brings the text settings back to their start.
    void resetRecording();

    int m_phyWidth = 85;
    int m_phyHeight = 110;
    double m_pageWidth = 8.5;
    double m_pageHeight = 11;
    int m_pageCount = 1;
    Qt::Alignment m_alignment = Qt::AlignLeft;
    TFont m_textFont;
    double m_multiX = 0;
    double m_multiY = 0;

private:
    template <class Cmd>
    Cmd* addCommand();
    static void setBox(TBoxCmd* cmd, double x1, double y1, double x2, double y2);
    // The pen and brush state of a new box, ellipse or text box.
    TDrawState boxState() const;
    // The state given, shared with earlier commands recorded in the same state.
    TDrawStatePtr shareState(const TDrawState& state);
    quint16 textFormat() const;

    QBrush m_textBrush {Qt::white, Qt::NoBrush};
    double m_penWidth = 0.01;
    double m_textMargin = 0.025;
    bool m_boxText = false;
    bool m_wordWrap = true;
    bool m_clipText = true;
    bool m_singleLine = false;
    QString m_documentTitle;
    std::vector<std::unique_ptr<TDrawCmd>> m_commands;
    std::vector<TDrawStatePtr> m_states; // the states the commands share
};
