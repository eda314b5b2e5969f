#pragma once
// The page commands a report is recorded in. Positions and sizes are inches from
// the paper's top left corner. Each command draws itself on the preview (Draw: one
// scale in pixels per inch, no offset) or on a printer or PDF page (PrintTo: the
// device's own scales and an offset in device pixels). Replaying never changes a
// command.

#include "reporting/TFont.h"

#include <QImage>
#include <QString>

class QPainter;

// Rounds to the nearest integer, halves to even.
int Rnd(double value);

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
    double PenWidth = 0;
    quint8 BrushStyle = Qt::NoBrush;
    QRgb BrushColor = 0xffffffff;

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

    double Margin = 0;
    bool Boxed = false;
    QString Text;
    TFont Font;
    quint16 Format = 0;
};

class TRotateTextCmd : public TDrawCmd {
public:
    void Draw(QPainter& canvas, double scale) const override;
    void PrintTo(int offsetX, int offsetY, double scaleX, double scaleY, QPainter& canvas) const override;

    double X = 0, Y = 0;
    QString Text;
    TFont Font;
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
