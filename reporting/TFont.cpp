#include "reporting/TFont.h"

#include <QStringList>

TFont::TFont() : TFont(QStringLiteral("Times Roman"), 10) { }

TFont::TFont(const QString& name, double pointSize, bool bold, bool italic)
{
    installSubstitutes();
    font.setFamily(name);
    font.setPointSizeF(pointSize);
    font.setBold(bold);
    font.setItalic(italic);
}

double TFont::size() const
{
    if (font.pointSizeF() > 0)
        return font.pointSizeF();
    return font.pixelSize() > 0 ? font.pixelSize() * 72.0 / 96.0 : 10.0;
}

QFont TFont::atPixelHeight(int pixels) const
{
    QFont f = font;
    f.setPixelSize(pixels > 0 ? pixels : 1);
    return f;
}

QFont TFont::atPointSize() const
{
    QFont f = font;
    f.setPointSizeF(size());
    return f;
}

void TFont::installSubstitutes()
{
    static const bool installed = [] {
        const QStringList serif {QStringLiteral("Liberation Serif")};
        const QStringList sans {QStringLiteral("Liberation Sans")};
        for (const char* face : {"Times Roman", "New Times Roman", "Times New Roman", "Times", "Tms Rmn"})
            QFont::insertSubstitutions(QString::fromLatin1(face), serif);
        for (const char* face : {"Arial", "MS Sans Serif", "Helvetica", "Helv"})
            QFont::insertSubstitutions(QString::fromLatin1(face), sans);
        return true;
    }();
    (void)installed;
}
