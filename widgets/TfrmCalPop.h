#pragma once
// TfrmCalPop (unit Calpop): the calendar popup of the date edit: a small borderless
// month page. Arrow keys, Page Up/Down (month), Home/End (year) and the mouse move the
// current day; Enter or a click on a day puts it into the edit, Escape leaves the edit
// as it was.

#include <QDate>
#include <QDialog>
#include <QRect>
#include <QString>

#include <array>

class TDateEdit;

class TfrmCalPop : public QDialog {
    Q_OBJECT
public:
    explicit TfrmCalPop(TDateEdit* edit);
    ~TfrmCalPop() override;

    QDate currentDate() const { return m_date; }
    // Cells 1 to 42, row by row from Sunday; a blank cell holds two spaces.
    QString cellText(int cell) const { return m_cells.at(cell - 1); }
    int currentCell() const { return m_currentCell; }
    int previousCell() const { return m_previousCell; }
    bool tracking() const { return m_tracking; }
    // Unit width and row height in pixels, from the popup's font.
    int unitWidth() const { return m_u; }
    int rowHeight() const { return m_r; }
    // Weekday of the month's first day, Sunday 1 to Saturday 7.
    int firstWeekday() const;

    QRect cellRect(int cell) const;
    // The cell under a point of the day grid; 0 outside the grid.
    int cellAt(const QPoint& point) const;
    QRect previousMonthBox() const { return QRect(4, 2, 16, 16); }
    QRect nextMonthBox() const { return QRect(21 * m_u - 12, 2, 16, 16); }

    // Moves the current date by days, refilling the cells when the month changes.
    void shiftDays(int days);

    static int daysInMonth(int year, int month);
    static bool isLeapYear(int year);

protected:
    void paintEvent(QPaintEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;

private:
    void fillCells();
    void placeUnder(const TDateEdit* edit);
    bool holdsDay(int cell) const { return cell >= 1 && cell <= 42 && m_cells.at(cell - 1).trimmed().size() > 0; }
    void moveToCell(int cell);
    void pick();
    void drawCell(class QPainter& p, int cell, bool highlighted) const;

    TDateEdit* m_edit;
    QDate m_date;
    int m_u = 8;
    int m_r = 17;
    std::array<QString, 42> m_cells;
    int m_currentCell = 0;
    int m_previousCell = 0;
    bool m_tracking = false;
};

extern TfrmCalPop* frmCalPop;
