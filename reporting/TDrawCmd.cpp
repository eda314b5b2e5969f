#include "reporting/TDrawCmd.h"

#include <QFontMetrics>
#include <QPainter>

#include <algorithm>
#include <cmath>

int Rnd(double value) { return int(std::nearbyint(value)); }

bool TDrawState::operator==(const TDrawState& other) const
{
    return PenWidth == other.PenWidth && BrushStyle == other.BrushStyle && BrushColor == other.BrushColor &&
           Margin == other.Margin && Boxed == other.Boxed && Format == other.Format && Font == other.Font;
}

const TDrawStatePtr& defaultDrawState()
{
    static const TDrawStatePtr state(new TDrawState);
    return state;
}

namespace {

int Trunc(double value) { return int(value); }

// A pen of the width given in device pixels; width 0 is the thinnest line.
void setPenWidth(QPainter& canvas, int width)
{
    QPen pen = canvas.pen();
    pen.setWidth(width);
    pen.setStyle(Qt::SolidLine);
    canvas.setPen(pen);
}

int printPen(double scaleX, double scaleY, double width) { return Rnd((scaleX + scaleY) / 2 * width); }

// Draws a text box's text in the canvas's font. Clipping cuts text at the box's
// sides and drops lines below its bottom, but never cuts into the first line: a
// row is laid out one line high at screen resolution, and the font rounded to the
// pixels of another scale can be a pixel taller, which would cost the letters their
// descenders. A single line too long for its box ends in an ellipsis, so that a
// reader sees it was cut; one that is only a little wider at this resolution than
// where it was measured may reach into the box's margin instead.
// Most cells are far shorter than their column, and measuring a text costs its
// shaping. No glyph of the font is wider than maxWidth; text of Latin-1 letters only
// is drawn in the font itself, never in a wider fallback font.
bool surelyFits(const QString& text, const QFontMetrics& metrics, int width)
{
    if (qint64(text.size()) * metrics.maxWidth() > width)
        return false;
    return std::all_of(text.begin(), text.end(), [](QChar c) { return c.unicode() < 0x100; });
}

void drawBoxText(QPainter& canvas, const QRect& box, quint16 format, const QString& text, int margin)
{
    int flags = TTextBoxCmd::qtFlags(format | tfNoPrefix);
    QRect area = box;
    const QFontMetrics metrics = canvas.fontMetrics();
    const int line = metrics.height();
    QString shown = text;
    if (!(flags & Qt::TextDontClip)) {
        if (area.height() < line) {
            const int grow = line - area.height();
            if (flags & Qt::AlignVCenter)
                area.adjust(0, -grow / 2, 0, grow - grow / 2);
            else
                area.setHeight(line);
        }
        const bool oneLine = !(flags & Qt::TextWordWrap) && !text.contains(QLatin1Char('\n'));
        if (oneLine) {
            if (!surelyFits(text, metrics, area.width() + margin) &&
                metrics.horizontalAdvance(text) > area.width() + margin)
                shown = metrics.elidedText(text, Qt::ElideRight, area.width());
            // The line now fits its box, or reaches only into the margin, so it
            // needs no clip; a clip would cost every cell of a PDF a clip path and
            // a saved graphics state.
            flags |= Qt::TextDontClip;
        }
    }
    canvas.drawText(area, flags, shown);
}

} // namespace

// ---------------------------------------------------------------- lines

void TLineCmd::Draw(QPainter& canvas, double scale) const
{
    canvas.save();
    setPenWidth(canvas, Trunc(PenWidth * scale));
    canvas.setBrush(Qt::NoBrush);
    canvas.drawLine(QPoint(Trunc(X1 * scale), Trunc(Y1 * scale)), QPoint(Trunc(X2 * scale), Trunc(Y2 * scale)));
    canvas.restore();
}

void TLineCmd::PrintTo(int offsetX, int offsetY, double scaleX, double scaleY, QPainter& canvas) const
{
    canvas.save();
    setPenWidth(canvas, printPen(scaleX, scaleY, PenWidth));
    canvas.setBrush(Qt::NoBrush);
    canvas.drawLine(QPoint(Trunc(X1 * scaleX) + offsetX, Trunc(Y1 * scaleY) + offsetY),
                    QPoint(Trunc(X2 * scaleX) + offsetX, Trunc(Y2 * scaleY) + offsetY));
    canvas.restore();
}

// ---------------------------------------------------------------- boxes

TBoxCmd::Geometry TBoxCmd::previewGeometry(double scale) const
{
    return {Trunc(X1 * scale), Trunc(Y1 * scale), Trunc(X2 * scale), Trunc(Y2 * scale), Trunc(State->PenWidth * scale)};
}

TBoxCmd::Geometry TBoxCmd::printGeometry(int offsetX, int offsetY, double scaleX, double scaleY) const
{
    return {Trunc(X1 * scaleX) + offsetX, Trunc(Y1 * scaleY) + offsetY, Trunc(X2 * scaleX) + offsetX,
            Trunc(Y2 * scaleY) + offsetY, printPen(scaleX, scaleY, State->PenWidth)};
}

void TBoxCmd::drawBox(QPainter& canvas, const Geometry& g, bool extendFill) const
{
    canvas.save();
    setPenWidth(canvas, g.pen);
    if (State->BrushStyle == Qt::NoBrush) {
        canvas.setBrush(Qt::NoBrush);
        const QPoint corners[] = {{g.x1, g.y1}, {g.x1, g.y2}, {g.x2, g.y2}, {g.x2, g.y1}, {g.x1, g.y1}};
        canvas.drawPolyline(corners, 5);
    } else {
        canvas.setBrush(QBrush(QColor::fromRgba(State->BrushColor), Qt::BrushStyle(State->BrushStyle)));
        const int grow = extendFill ? 1 : 0;
        canvas.drawRect(QRect(QPoint(g.x1, g.y1), QPoint(g.x2 + grow - 1, g.y2 + grow - 1)));
    }
    canvas.restore();
}

void TBoxCmd::Draw(QPainter& canvas, double scale) const { drawBox(canvas, previewGeometry(scale), true); }

void TBoxCmd::PrintTo(int offsetX, int offsetY, double scaleX, double scaleY, QPainter& canvas) const
{
    drawBox(canvas, printGeometry(offsetX, offsetY, scaleX, scaleY), false);
}

// ---------------------------------------------------------------- ellipses

namespace {

void drawEllipse(QPainter& canvas, const TBoxCmd& cmd, int x1, int y1, int x2, int y2, int pen)
{
    canvas.save();
    setPenWidth(canvas, pen);
    const TDrawState& state = *cmd.State;
    canvas.setBrush(state.BrushStyle == Qt::NoBrush
                        ? QBrush(Qt::NoBrush)
                        : QBrush(QColor::fromRgba(state.BrushColor), Qt::BrushStyle(state.BrushStyle)));
    canvas.drawEllipse(QRect(QPoint(x1, y1), QPoint(x2 - 1, y2 - 1)));
    canvas.restore();
}

} // namespace

void TEllipseCmd::Draw(QPainter& canvas, double scale) const
{
    const Geometry g = previewGeometry(scale);
    drawEllipse(canvas, *this, g.x1, g.y1, g.x2 + 1, g.y2 + 1, g.pen);
}

void TEllipseCmd::PrintTo(int offsetX, int offsetY, double scaleX, double scaleY, QPainter& canvas) const
{
    const Geometry g = printGeometry(offsetX, offsetY, scaleX, scaleY);
    drawEllipse(canvas, *this, g.x1, g.y1, g.x2, g.y2, g.pen);
}

// ---------------------------------------------------------------- text boxes

int TTextBoxCmd::qtFlags(quint16 format)
{
    int flags = 0;
    if (format & tfCenter)
        flags |= Qt::AlignHCenter;
    else if (format & tfRight)
        flags |= Qt::AlignRight;
    else
        flags |= Qt::AlignLeft;
    flags |= (format & 4) ? Qt::AlignVCenter : Qt::AlignTop;
    if ((format & 32) == 0 && (format & tfWordBreak))
        flags |= Qt::TextWordWrap;
    if (format & 32)
        flags |= Qt::TextSingleLine;
    if (format & tfNoClip)
        flags |= Qt::TextDontClip;
    // Ampersands are drawn as they are: the toolkit only treats them as mnemonics
    // when asked to.
    return flags;
}

void TTextBoxCmd::Draw(QPainter& canvas, double scale) const
{
    const TDrawState& s = *State;
    if (s.Boxed)
        TBoxCmd::Draw(canvas, scale);
    canvas.save();
    canvas.setFont(s.Font.atPixelHeight(Rnd(scale * s.Font.size() / 72)));
    canvas.setPen(s.Font.color);
    canvas.setBrush(Qt::NoBrush);
    const double m = s.Margin;
    const QRect r(QPoint(Rnd(scale * (X1 + m)), Rnd(scale * (Y1 + m))),
                  QPoint(Rnd(scale * (X2 - m)) - 1, Rnd(scale * (Y2 - m)) - 1));
    drawBoxText(canvas, r, s.Format, Text, Rnd(scale * m));
    canvas.restore();
}

void TTextBoxCmd::PrintTo(int offsetX, int offsetY, double scaleX, double scaleY, QPainter& canvas) const
{
    const TDrawState& s = *State;
    if (s.Boxed)
        TBoxCmd::PrintTo(offsetX, offsetY, scaleX, scaleY, canvas);
    canvas.setFont(s.Font.atPointSize());
    canvas.setPen(s.Font.color);
    canvas.setBrush(Qt::NoBrush);
    const double m = s.Margin;
    const QRect r(QPoint(Rnd(scaleX * (X1 + m)) + offsetX, Rnd(scaleY * (Y1 + m)) + offsetY),
                  QPoint(Rnd(scaleX * (X2 - m)) + offsetX - 1, Rnd(scaleY * (Y2 - m)) + offsetY - 1));
    drawBoxText(canvas, r, s.Format, Text, Rnd(scaleX * m));
}

// ---------------------------------------------------------------- rotated text

void TRotateTextCmd::drawAt(QPainter& canvas, int x, int y, int pixelHeight) const
{
    canvas.save();
    const TFont& f = State->Font;
    const QFont font = f.atPixelHeight(pixelHeight);
    canvas.setFont(font);
    canvas.setPen(f.color);
    canvas.setBrush(Qt::NoBrush);
    canvas.translate(x, y);
    // Tenths of a degree, as the angle is stored for the platform font.
    canvas.rotate(-Rnd(Angle * 10) / 10.0);
    // The point given is the top left of the text, not its baseline.
    canvas.drawText(QPoint(0, QFontMetrics(font, canvas.device()).ascent()), Text);
    canvas.restore();
}

void TRotateTextCmd::Draw(QPainter& canvas, double scale) const
{
    drawAt(canvas, Rnd(scale * X), Rnd(scale * Y), Rnd(State->Font.size() * scale / 72));
}

void TRotateTextCmd::PrintTo(int offsetX, int offsetY, double scaleX, double scaleY, QPainter& canvas) const
{
    drawAt(canvas, Rnd(scaleX * X) + offsetX, Rnd(scaleY * Y) + offsetY, Rnd(State->Font.size() * scaleY / 72));
}

// ---------------------------------------------------------------- pictures

void TGraphicCmd::Draw(QPainter& canvas, double scale) const
{
    canvas.drawImage(
        QRect(QPoint(Rnd(Left * scale), Rnd(Top * scale)), QPoint(Rnd(Right * scale) - 1, Rnd(Bottom * scale) - 1)),
        Bitmap);
}

void TGraphicCmd::PrintTo(int offsetX, int offsetY, double scaleX, double scaleY, QPainter& canvas) const
{
    canvas.drawImage(QRect(QPoint(Rnd(Left * scaleX) + offsetX, Rnd(Top * scaleY) + offsetY),
                           QPoint(Rnd(Right * scaleX) + offsetX - 1, Rnd(Bottom * scaleY) + offsetY - 1)),
                     Bitmap);
}
