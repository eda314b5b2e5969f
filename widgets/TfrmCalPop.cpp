#include "widgets/TfrmCalPop.h"

#include "platform/DateTimeValue.h"
#include "platform/RegionalSettings.h"
#include "widgets/TDateEdit.h"

#include <QKeyEvent>
#include <QMouseEvent>
#include <QPainter>
#include <QScreen>

#include <cmath>

TfrmCalPop* frmCalPop = nullptr;

namespace {

const char* const weekdays[7] = {"Su", "Mo", "Tu", "We", "Th", "Fr", "Sa"};
const QColor silver(192, 192, 192);
const QColor grey(128, 128, 128);

// Nearest integer, halves to even.
int rnd(double x) { return int(std::nearbyint(x)); }

// The old sans serif face has no size below 8 points; its smallest size is what showed.
QFont popupFont()
{
    QFont font(QStringLiteral("Liberation Sans"));
    font.setStyleHint(QFont::SansSerif);
    font.setPointSize(8);
    return font;
}

} // namespace

TfrmCalPop::TfrmCalPop(TDateEdit* edit) : QDialog(edit, Qt::Dialog | Qt::FramelessWindowHint), m_edit(edit)
{
    frmCalPop = this;
    setObjectName(QStringLiteral("frmCalPop"));
    setModal(true);
    setAutoFillBackground(true);
    QPalette pal = palette();
    pal.setColor(QPalette::Window, silver);
    setPalette(pal);
    setFont(popupFont());
    setMouseTracking(true);

    const QFontMetrics fm(font());
    m_u = rnd(1.6 * fm.averageCharWidth());
    m_r = rnd(4.0 / 3.0 * fm.height());
    setFixedSize(21 * m_u + 8, 8 * m_r + 2);
    placeUnder(edit);

    const std::optional<QDate> shown = Platform::parseShortDate(edit->text());
    if (shown)
        m_date = *shown;
    else if (!edit->text().isEmpty() && edit->Date() != 0)
        m_date = edit->date();
    else
        m_date = QDate::currentDate();
    fillCells();
    m_currentCell = firstWeekday() + m_date.day() - 1;
    m_previousCell = 0;
    m_tracking = false;
}

TfrmCalPop::~TfrmCalPop()
{
    if (frmCalPop == this)
        frmCalPop = nullptr;
}

void TfrmCalPop::placeUnder(const TDateEdit* edit)
{
    const QRect screen = edit->screen() ? edit->screen()->geometry() : QRect(0, 0, 1024, 768);
    const QPoint topLeft = edit->mapToGlobal(QPoint(0, 0));
    int left = topLeft.x() + 1;
    if (left + width() >= screen.right())
        left = screen.right() - width() - 1;
    int top = topLeft.y() + edit->height() + 1;
    if (top + height() >= screen.bottom())
        top = topLeft.y() - height();
    move(left, top);
}

bool TfrmCalPop::isLeapYear(int year) { return (year % 4 == 0 && year % 100 != 0) || year % 400 == 0; }

int TfrmCalPop::daysInMonth(int year, int month)
{
    static const int days[12] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
    return month == 2 && isLeapYear(year) ? 29 : days[month - 1];
}

int TfrmCalPop::firstWeekday() const { return QDate(m_date.year(), m_date.month(), 1).dayOfWeek() % 7 + 1; }

void TfrmCalPop::fillCells()
{
    const int f = firstWeekday();
    const int n = daysInMonth(m_date.year(), m_date.month());
    for (int k = 1; k <= 42; ++k)
        m_cells[k - 1] = k >= f && k <= f + n - 1 ? QString::number(k - f + 1) : QStringLiteral("  ");
}

QRect TfrmCalPop::cellRect(int cell) const
{
    const int i = (cell - 1) / 7 + 1;
    const int j = (cell - 1) % 7 + 1;
    return QRect(QPoint(4 + 3 * m_u * (j - 1), m_r * (i + 1) + 2), QPoint(4 + 3 * m_u * j, m_r * (i + 2) + 2));
}

int TfrmCalPop::cellAt(const QPoint& point) const
{
    const int x = point.x();
    const int y = point.y();
    if (!(x > 4 && y > 2 * m_r + 2 && x < 21 * m_u + 4 && y < 8 * m_r + 2))
        return 0;
    const int row = int(std::trunc(double(y - 2) / m_r - 1));
    int column = 7;
    for (int j = 1; j <= 7; ++j) {
        if (x >= 4 + 3 * m_u * (j - 1) && x <= 4 + 3 * m_u * j) {
            column = j;
            break;
        }
    }
    return 7 * row + column - 7;
}

void TfrmCalPop::shiftDays(int days)
{
    m_previousCell = m_currentCell;
    const int month = m_date.month();
    const int year = m_date.year();
    m_date = m_date.addDays(days);
    if (m_date.month() != month || m_date.year() != year)
        fillCells();
    m_currentCell = firstWeekday() + m_date.day() - 1;
    update();
}

void TfrmCalPop::moveToCell(int cell) { shiftDays(cell - m_currentCell); }

void TfrmCalPop::pick()
{
    m_edit->setDate(Platform::dateValue(m_date));
    accept();
}

void TfrmCalPop::keyPressEvent(QKeyEvent* event)
{
    const int year = m_date.year();
    const int month = m_date.month();
    switch (event->key()) {
    case Qt::Key_Return:
    case Qt::Key_Enter:
        pick();
        break;
    case Qt::Key_Escape:
        m_tracking = false;
        reject();
        break;
    case Qt::Key_Left:
        shiftDays(-1);
        break;
    case Qt::Key_Right:
        shiftDays(1);
        break;
    case Qt::Key_Up:
        shiftDays(-7);
        break;
    case Qt::Key_Down:
        shiftDays(7);
        break;
    case Qt::Key_PageUp:
        shiftDays(-daysInMonth(month == 1 ? year - 1 : year, month == 1 ? 12 : month - 1));
        break;
    case Qt::Key_PageDown:
        shiftDays(daysInMonth(year, month));
        break;
    case Qt::Key_Home: {
        // One year forward, counting the 29th of February that lies between.
        int days = (isLeapYear(year) && month <= 2 ? 1 : 0) + 365;
        const QDate later = m_date.addDays(days);
        if (isLeapYear(later.year()) && later.month() >= 3)
            ++days;
        shiftDays(days);
        break;
    }
    case Qt::Key_End: {
        int days = (isLeapYear(year) && month >= 3 ? 1 : 0) + 365;
        const QDate earlier = m_date.addDays(-days);
        if (isLeapYear(earlier.year()) && earlier.month() <= 2)
            ++days;
        shiftDays(-days);
        break;
    }
    default:
        event->ignore();
        return;
    }
    event->accept();
}

void TfrmCalPop::mousePressEvent(QMouseEvent* event)
{
    const QPoint at = event->position().toPoint();
    if (previousMonthBox().contains(at)) {
        QKeyEvent key(QEvent::KeyPress, Qt::Key_PageUp, Qt::NoModifier);
        keyPressEvent(&key);
    } else if (nextMonthBox().contains(at)) {
        QKeyEvent key(QEvent::KeyPress, Qt::Key_PageDown, Qt::NoModifier);
        keyPressEvent(&key);
    } else if (const int cell = cellAt(at)) {
        m_tracking = holdsDay(cell);
        if (m_tracking)
            moveToCell(cell);
    }
}

void TfrmCalPop::mouseMoveEvent(QMouseEvent* event)
{
    if (!m_tracking)
        return;
    const int cell = cellAt(event->position().toPoint());
    if (holdsDay(cell) && cell != m_currentCell)
        moveToCell(cell);
}

void TfrmCalPop::mouseReleaseEvent(QMouseEvent*)
{
    if (!m_tracking)
        return;
    m_tracking = false;
    pick();
}

void TfrmCalPop::drawCell(QPainter& p, int cell, bool highlighted) const
{
    const QRect box = cellRect(cell);
    const int day = m_cells.at(cell - 1).trimmed().toInt();
    const bool valid = day > 0 && m_edit->IsValidDate(Platform::dateValue(QDate(m_date.year(), m_date.month(), day)));
    QFont font = p.font();
    font.setBold(highlighted);
    p.setFont(font);
    p.setPen(valid ? m_edit->ValidDateColor : QColor(Qt::black));
    p.drawText(box, Qt::AlignCenter, m_cells.at(cell - 1));
    if (highlighted) {
        p.setPen(grey);
        p.drawLine(box.topLeft(), box.topRight());
        p.drawLine(box.topLeft(), box.bottomLeft());
        p.setPen(Qt::white);
        p.drawLine(box.bottomLeft(), box.bottomRight());
        p.drawLine(box.topRight(), box.bottomRight());
    }
    font.setBold(false);
    p.setFont(font);
}

void TfrmCalPop::paintEvent(QPaintEvent*)
{
    QPainter p(this);
    const int w = width();
    const int h = height();
    p.fillRect(rect(), silver);

    p.setPen(Qt::black);
    p.drawRect(0, 0, w - 1, h - 1);
    p.setPen(Qt::white);
    p.drawLine(1, 1, w - 2, 1);
    p.drawLine(1, 1, 1, h - 2);
    p.setPen(grey);
    p.drawLine(1, h - 2, w - 2, h - 2);
    p.drawLine(w - 2, 1, w - 2, h - 2);

    QFont bold = font();
    bold.setBold(true);
    p.setFont(bold);
    p.setPen(Qt::black);
    const QRect header(QPoint(20, 2), QPoint(w - 20, m_r));
    p.fillRect(header, silver);
    p.drawText(header, Qt::AlignCenter, Platform::formatDate(QStringLiteral("mmmm d, yyyy"), m_date));
    p.setFont(font());

    for (int j = 1; j <= 7; ++j) {
        const QRect column(QPoint(4 + 3 * m_u * (j - 1), m_r + 2), QPoint(4 + 3 * m_u * j, 2 * m_r + 2));
        p.drawText(column, Qt::AlignCenter, QString::fromLatin1(weekdays[j - 1]));
    }
    p.setPen(grey);
    p.drawLine(4, 2 * m_r - 1, 21 * m_u + 4, 2 * m_r - 1);
    p.setPen(Qt::white);
    p.drawLine(4, 2 * m_r, 21 * m_u + 4, 2 * m_r);

    for (int k = 1; k <= 42; ++k)
        drawCell(p, k, false);

    for (const bool previous : {true, false}) {
        const QRect box = previous ? previousMonthBox() : nextMonthBox();
        const int left = box.left(), top = box.top(), right = box.left() + box.width(),
                  bottom = box.top() + box.height();
        p.setPen(Qt::black);
        p.setBrush(silver);
        p.drawRect(left, top, right - left - 1, bottom - top - 1);
        p.setPen(Qt::white);
        p.drawLine(left + 1, top + 1, right - 2, top + 1);
        p.drawLine(left + 1, top + 1, left + 1, bottom - 2);
        p.setPen(grey);
        p.drawLine(left + 1, bottom - 2, right - 2, bottom - 2);
        p.drawLine(right - 2, top + 1, right - 2, bottom - 2);
        p.setPen(Qt::black);
        p.setBrush(Qt::black);
        const std::array<QPoint, 3> points =
            previous ? std::array<QPoint, 3> {QPoint(right - 5, top + 3), QPoint(right - 5, bottom - 4),
                                              QPoint(left + 3, top + 7)}
                     : std::array<QPoint, 3> {QPoint(left + 4, top + 3), QPoint(left + 4, bottom - 4),
                                              QPoint(right - 4, top + 7)};
        p.drawPolygon(points.data(), 3);
        p.setBrush(Qt::NoBrush);
    }

    if (m_currentCell >= 1 && m_currentCell <= 41 && holdsDay(m_currentCell))
        drawCell(p, m_currentCell, true);
}
