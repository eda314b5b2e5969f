#pragma once
// A font as reports keep it: face, size in points, style and colour. The faces the
// report layouts name ("Times Roman", "Arial", "MS Sans Serif") are drawn with the
// metric-compatible Liberation faces, so a report lays out alike on every machine.

#include <QColor>
#include <QFont>

class TFont {
public:
    TFont();
    TFont(const QString& name, double pointSize, bool bold = false, bool italic = false);

    QString name() const { return font.family(); }
    // Size in points; a font given in pixels counts at 96 pixels per inch.
    double size() const;
    bool bold() const { return font.bold(); }
    bool italic() const { return font.italic(); }

    bool operator==(const TFont& other) const { return color == other.color && font == other.font; }
    bool operator!=(const TFont& other) const { return !(*this == other); }

    // The toolkit font at a pixel height (preview) or at its point size (printer).
    QFont atPixelHeight(int pixels) const;
    QFont atPointSize() const;

    // Makes the toolkit resolve the layouts' face names to Liberation faces.
    static void installSubstitutes();

    QFont font;
    QColor color = Qt::black;
};
