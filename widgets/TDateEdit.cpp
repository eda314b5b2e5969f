#include "widgets/TDateEdit.h"

#include "platform/DateTimeValue.h"
#include "platform/MessageBox.h"
#include "platform/RegionalSettings.h"
#include "widgets/TfrmCalPop.h"

#include <QFocusEvent>
#include <QKeyEvent>
#include <QPainter>
#include <QPixmap>

TDateButton::TDateButton(TDateEdit* edit) : QToolButton(edit)
{
    setObjectName(QStringLiteral("DateButton"));
    setIcon(glyph());
    setFocusPolicy(Qt::NoFocus);
    setCursor(Qt::ArrowCursor);
    setToolTip(QStringLiteral("Calendar"));
    // Connected first, so the popup runs before any other handler of the click.
    connect(this, &QToolButton::clicked, this, &TDateButton::showPopup);
}

QIcon TDateButton::glyph()
{
    QPixmap page(16, 16);
    page.fill(Qt::transparent);
    QPainter p(&page);
    p.setPen(Qt::black);
    p.setBrush(Qt::white);
    p.drawRect(1, 2, 13, 12);
    p.fillRect(2, 3, 12, 3, QColor(128, 0, 0));
    p.setPen(Qt::black);
    for (int row = 0; row < 3; ++row)
        for (int col = 0; col < 4; ++col)
            p.fillRect(3 + col * 3, 7 + row * 2, 2, 1, Qt::black);
    p.fillRect(4, 1, 1, 3, Qt::black);
    p.fillRect(11, 1, 1, 3, Qt::black);
    return QIcon(page);
}

void TDateButton::showPopup()
{
    if (auto* edit = qobject_cast<TDateEdit*>(parentWidget())) {
        TfrmCalPop popup(edit);
        popup.exec();
    }
}

TDateEdit::TDateEdit(QWidget* parent) : QLineEdit(parent)
{
    const Platform::RegionalSettings settings = Platform::regionalSettings();
    m_separator = settings.dateSeparator;
    m_displayFormat = settings.shortDateFormat;
    m_button = new TDateButton(this);
}

TDateEdit::~TDateEdit() { ValidDates.clear(); }

void TDateEdit::setDate(double value)
{
    if (value == m_date)
        return;
    m_date = value;
    setText(value == 0 ? QString() : Platform::formatDate(m_displayFormat, Platform::toDate(value)));
    setModified(true);
    emit OnDateChange();
}

QDate TDateEdit::date() const { return m_date == 0 ? QDate() : Platform::toDate(m_date); }

void TDateEdit::setDate(const QDate& date) { setDate(date.isValid() ? Platform::dateValue(date) : 0.0); }

quint16 TDateEdit::Year() const { return quint16(Platform::toDate(m_date).year()); }
quint16 TDateEdit::Month() const { return quint16(Platform::toDate(m_date).month()); }
quint16 TDateEdit::Day() const { return quint16(Platform::toDate(m_date).day()); }

void TDateEdit::setPart(quint16 year, quint16 month, quint16 day)
{
    const QDate rebuilt(year, month, day);
    if (!rebuilt.isValid() || year < 1 || year > 9999)
        throw EConvertError("Invalid argument to date encode");
    setDate(Platform::dateValue(rebuilt));
}

void TDateEdit::setYear(quint16 year)
{
    if (m_date != 0 && year != Year())
        setPart(year, Month(), Day());
}

void TDateEdit::setMonth(quint16 month)
{
    if (m_date != 0 && month != Month())
        setPart(Year(), month, Day());
}

void TDateEdit::setDay(quint16 day)
{
    if (m_date != 0 && day != Day())
        setPart(Year(), Month(), day);
}

void TDateEdit::resizeEvent(QResizeEvent* event)
{
    QLineEdit::resizeEvent(event);
    const int side = height();
    m_button->setGeometry(width() - side, 0, side, side);
    m_button->update();
    setTextMargins(0, 0, side, 0);
    // The first resize comes when the edit is shown: a new edit shows today.
    if (m_date == 0)
        setDate(Platform::nowValue());
}

void TDateEdit::locateSeparators()
{
    const QString t = text();
    m_sep1 = int(t.indexOf(m_separator)) + 1;
    const int next = int(t.indexOf(m_separator, m_sep1));
    if (next >= 0)
        m_sep2 = next + 1;
}

void TDateEdit::selectPart(int part)
{
    m_partFresh = true;
    const int length = int(text().size());
    switch (part) {
    case 1:
        if (m_sep1 == 0)
            selectAll();
        else
            setSelection(0, m_sep1 - 1);
        break;
    case 2:
        setSelection(m_sep1, std::max(0, m_sep2 - m_sep1 - 1));
        break;
    default:
        setSelection(m_sep2, std::max(0, length - m_sep2));
    }
}

void TDateEdit::focusInEvent(QFocusEvent* event)
{
    QLineEdit::focusInEvent(event);
    m_part = 1;
    locateSeparators();
    selectPart(1);
}

void TDateEdit::focusOutEvent(QFocusEvent* event)
{
    QLineEdit::focusOutEvent(event);
    // A menu or the calendar popup taking the focus for a moment is no leaving.
    if (event->reason() == Qt::PopupFocusReason || event->reason() == Qt::ActiveWindowFocusReason)
        return;
    takeTypedText();
}

bool TDateEdit::takeTypedText()
{
    if (const std::optional<QDate> typed = Platform::parseShortDate(text())) {
        setDate(Platform::dateValue(*typed));
        // Text typed in another shape reads back in the display format.
        setText(Platform::formatDate(m_displayFormat, *typed));
        return true;
    }
    const QString refused = text();
    if (m_date == 0)
        setDate(Platform::nowValue());
    setText(Platform::formatDate(m_displayFormat, date()));
    setFocus();
    Platform::showError(QStringLiteral("\"%1\" is not a valid date. Type the date as %2, for example %3.")
                            .arg(refused, m_displayFormat, Platform::formatDate(m_displayFormat, date())));
    return false;
}

void TDateEdit::keyPressEvent(QKeyEvent* event)
{
    const QString typed = event->text();
    // Keys that type nothing (arrows, Delete, Home) and shortcuts edit as usual.
    if (typed.isEmpty() || (event->modifiers() & (Qt::ControlModifier | Qt::AltModifier)) ||
        event->key() == Qt::Key_Backspace || event->key() == Qt::Key_Tab || event->key() == Qt::Key_Backtab ||
        event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter || event->key() == Qt::Key_Escape) {
        // Enter closes a dialog through its default button while the focus stays
        // here: the date typed so far is taken first, as leaving the field would.
        if ((event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter) && !takeTypedText()) {
            event->accept();
            return;
        }
        QLineEdit::keyPressEvent(event);
        return;
    }
    const QChar c = typed.at(0);
    if (c == QLatin1Char('+') || c == QLatin1Char('-')) {
        if (text().isEmpty())
            setDate(Platform::nowValue());
        else
            setDate(m_date + (c == QLatin1Char('+') ? 1 : -1));
    } else if (c == m_separator) {
        // The part being typed is the one the caret is in.
        m_part = std::min(3, int(text().left(cursorPosition()).count(m_separator)) + 1);
        if (m_part < 3) {
            ++m_part;
            // A date typed whole into emptied text gets its separators as typed.
            if (int(text().count(m_separator)) < m_part - 1) {
                end(false);
                insert(QString(m_separator));
                m_partFresh = false;
            } else {
                locateSeparators();
                selectPart(m_part);
            }
        }
    } else if (c.isDigit()) {
        if (m_partFresh && !hasSelectedText()) {
            locateSeparators();
            selectPart(m_part);
        }
        m_partFresh = false;
        QLineEdit::keyPressEvent(event);
        return;
    }
    event->accept();
}

void TDateEdit::mouseReleaseEvent(QMouseEvent* event)
{
    const int offset = hasSelectedText() ? selectionEnd() : cursorPosition();
    locateSeparators();
    if (offset <= m_sep1)
        m_part = 1;
    else if (offset > m_sep2)
        m_part = 3;
    else
        m_part = 2;
    // The ordinary handling first: a click on selected text ends by dropping the
    // selection, which would leave the next digits typed into the old part.
    QLineEdit::mouseReleaseEvent(event);
    selectPart(m_part);
}
