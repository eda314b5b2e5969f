#pragma once
// TOrderedGroupBox (unit Jovgroup): a group box whose caption is preceded by a coloured
// badge holding a step number or letter, so a dialog can number the steps the user goes
// through.

#include <QColor>
#include <QFont>
#include <QGroupBox>

enum TLabelType { ltNumeric = 0, ltAlphabetic = 1 };

class TOrderedGroupBox : public QGroupBox {
    Q_OBJECT
    Q_PROPERTY(int LabelOrder READ labelOrder WRITE setLabelOrder)
    Q_PROPERTY(QFont LabelFont READ labelFont WRITE setLabelFont)
    Q_PROPERTY(QColor LabelFontColor READ labelFontColor WRITE setLabelFontColor)
    Q_PROPERTY(QColor LabelColor READ labelColor WRITE setLabelColor)
public:
    explicit TOrderedGroupBox(QWidget* parent = nullptr);
    explicit TOrderedGroupBox(const QString& caption, QWidget* parent = nullptr);

    int labelOrder() const { return m_labelOrder; }
    void setLabelOrder(int order);
    QFont labelFont() const { return m_labelFont; }
    // Repaints only when name, size, style or colour differ from the current font.
    void setLabelFont(const QFont& font);
    void setLabelFont(const QFont& font, const QColor& color);
    QColor labelFontColor() const { return m_labelFontColor; }
    void setLabelFontColor(const QColor& color);
    QColor labelColor() const { return m_labelColor; }
    void setLabelColor(const QColor& color);
    TLabelType labelType() const { return m_labelType; }
    void setLabelType(TLabelType type);

    // The text the badge shows: the order in decimal, or its letter (1 is "A").
    QString badgeText() const;
    // The badge's square, from the label font's height.
    QRect badgeRect() const;
    // Where the caption starts, after the badge.
    int captionLeft() const { return badgeRect().right() + 7; }

    QSize minimumSizeHint() const override;

signals:
    // A property changed in a way that shows; the box repaints.
    void appearanceChanged();

protected:
    void paintEvent(QPaintEvent* event) override;
    void changeEvent(QEvent* event) override;

private:
    void changed();
    void placeContents();

    int m_labelOrder = 1;
    QFont m_labelFont;
    QColor m_labelFontColor = Qt::black;
    QColor m_labelColor = Qt::blue;
    TLabelType m_labelType = ltNumeric;
};
