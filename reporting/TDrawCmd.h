#pragma once
// TDrawCmd (unit DrawCmd): the page commands a report is recorded in. Positions and
// sizes are inches from the paper's top left corner. Each command draws itself on the
// preview (Draw: one scale in pixels per inch, no offset) or on a printer or PDF page
// (PrintTo: the device's own scales and an offset in device pixels). Replaying never
// changes a command.

#include "reporting/TFont.h"

#include <QImage>
#include <QSharedData>
#include <QString>

class QPainter;

// Rounds to the nearest integer, halves to even.
int Rnd(double value);

// The drawing state a command is recorded in: pen and brush of boxes and ellipses,
// and for text its margin, box, font and format. A report records long runs of
// commands in one state, so its commands share one copy of it (copied on write)
// instead of each carrying its own font and colours. Fields a command does not use
// keep their defaults.
struct TDrawState : public QSharedData {
    double PenWidth = 0;
    quint8 BrushStyle = Qt::NoBrush;
    QRgb BrushColor = 0xffffffff;
    double Margin = 0;
    bool Boxed = false;
    quint16 Format = 0;
    TFont Font;

    bool operator==(const TDrawState& other) const;
};
using TDrawStatePtr = QSharedDataPointer<TDrawState>;

// The state of commands made without a window: every field at its default.
const TDrawStatePtr& defaultDrawState();

class TDrawCmd {
public:
    TDrawCmd() = default;
    virtual ~TDrawCmd() = default;
    TDrawCmd(const TDrawCmd&) = delete;
    TDrawCmd& operator=(const TDrawCmd&) = delete;

    virtual void Draw(QPainter& canvas, double scale) const = 0;
    virtual void PrintTo(int offsetX, int offsetY, double scaleX, double scaleY, QPainter& canvas) const = 0;

    qint32 Page = 0;
};

class TLineCmd : public TDrawCmd {
public:
    void Draw(QPainter& canvas, double scale) const override;
    void PrintTo(int offsetX, int offsetY, double scaleX, double scaleY, QPainter& canvas) const override;

    double X1 = 0, X2 = 0, Y1 = 0, Y2 = 0;
    double PenWidth = 0;
};

class TBoxCmd : public TDrawCmd {
public:
    void Draw(QPainter& canvas, double scale) const override;
    void PrintTo(int offsetX, int offsetY, double scaleX, double scaleY, QPainter& canvas) const override;

    double X1 = 0, X2 = 0, Y1 = 0, Y2 = 0; // left, right, top, bottom
    // Pen width, brush style and colour; for text boxes also margin, box, font and
    // format.
    TDrawStatePtr State = defaultDrawState();

protected:
    // The box in device pixels; the preview's right and bottom edges reach one
    // pixel further, as its filled rectangles exclude them.
    struct Geometry {
        int x1, y1, x2, y2, pen;
    };
    Geometry previewGeometry(double scale) const;
    Geometry printGeometry(int offsetX, int offsetY, double scaleX, double scaleY) const;
    void drawBox(QPainter& canvas, const Geometry& g, bool extendFill) const;
};

class TEllipseCmd : public TBoxCmd {
public:
    void Draw(QPainter& canvas, double scale) const override;
    void PrintTo(int offsetX, int offsetY, double scaleX, double scaleY, QPainter& canvas) const override;
};

// Text-drawing flags of text boxes.
enum TTextFormat : quint16 {
    tfCenter = 1,
    tfRight = 2,
    tfWordBreak = 16,
    tfNoClip = 256,
    tfSingleLineVCenter = 36,
    tfNoPrefix = 2048,
};

class TTextBoxCmd : public TBoxCmd {
public:
    void Draw(QPainter& canvas, double scale) const override;
    void PrintTo(int offsetX, int offsetY, double scaleX, double scaleY, QPainter& canvas) const override;

    // The toolkit's text flags for a format of text-drawing flags.
    static int qtFlags(quint16 format);

    QString Text;
};

class TRotateTextCmd : public TDrawCmd {
public:
    void Draw(QPainter& canvas, double scale) const override;
    void PrintTo(int offsetX, int offsetY, double scaleX, double scaleY, QPainter& canvas) const override;

    double X = 0, Y = 0;
    QString Text;
    TDrawStatePtr State = defaultDrawState(); // the font
    double Angle = 0; // degrees, counter-clockwise

private:
    void drawAt(QPainter& canvas, int x, int y, int pixelHeight) const;
};

class TGraphicCmd : public TDrawCmd {
public:
    void Draw(QPainter& canvas, double scale) const override;
    void PrintTo(int offsetX, int offsetY, double scaleX, double scaleY, QPainter& canvas) const override;

    double Left = 0, Top = 0, Right = 0, Bottom = 0;
    QImage Bitmap;
};
