#include "platform/FormControls.h"

#include <QAbstractButton>
#include <QAbstractScrollArea>
#include <QKeySequence>
#include <QMap>
#include <QStyle>
#include <QToolButton>

void Platform::focusNextControl(QWidget* from)
{
    QWidget* window = from->window();
    for (QWidget* w = from->nextInFocusChain(); w && w != from; w = w->nextInFocusChain()) {
        if (w->window() == window && (w->focusPolicy() & Qt::TabFocus) && w->isEnabled() && w->isVisibleTo(window)) {
            w->setFocus(Qt::TabFocusReason);
            return;
        }
    }
}

void Platform::makeArrowButton(QToolButton* button, Qt::ArrowType arrow)
{
    // The style draws an arrow type at a fixed small size; an icon scales with the text.
    QStyle::StandardPixmap pixmap = QStyle::SP_ArrowRight;
    if (arrow == Qt::LeftArrow)
        pixmap = QStyle::SP_ArrowLeft;
    else if (arrow == Qt::UpArrow)
        pixmap = QStyle::SP_ArrowUp;
    else if (arrow == Qt::DownArrow)
        pixmap = QStyle::SP_ArrowDown;
    const int text = button->fontMetrics().height();
    button->setArrowType(Qt::NoArrow);
    button->setIcon(button->style()->standardIcon(pixmap));
    button->setIconSize(QSize(text, text));
    button->setToolButtonStyle(Qt::ToolButtonIconOnly);
    button->setAutoRaise(false);
    button->setMinimumSize(2 * text, 2 * text);
}

QString Platform::clashingAccelerators(const QWidget* window)
{
    QMap<QKeySequence, int> uses;
    for (const QAbstractButton* b : window->findChildren<QAbstractButton*>()) {
        if (!b->isVisibleTo(window))
            continue;
        const QKeySequence key = QKeySequence::mnemonic(b->text());
        if (!key.isEmpty())
            ++uses[key];
    }
    QString clashes;
    for (auto it = uses.cbegin(); it != uses.cend(); ++it) {
        if (it.value() > 1)
            clashes += it.key().toString(QKeySequence::PortableText).right(1);
    }
    return clashes;
}

void Platform::keepFrameWhenScaled(QAbstractScrollArea* area)
{
    // A border filled as a rectangle covers at least one whole screen pixel at any
    // scale, where the style's one-pixel line fell between pixels and was clipped, and
    // the viewport sits inside it.
    area->setStyleSheet(QStringLiteral("%1 { border: 1px solid palette(mid); background: palette(base); }")
                            .arg(QLatin1String(area->metaObject()->className())));
}
