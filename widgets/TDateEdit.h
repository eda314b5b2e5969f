#pragma once
// TDateEdit (unit Dateedit): a one-line edit holding one date. The user types it part
// by part (the date separator jumps to the next part), steps it with "+" and "-", or
// picks it in the calendar popup opened by the small button at the right end of the
// field.

#include <QColor>
#include <QDate>
#include <QLineEdit>
#include <QList>
#include <QToolButton>

#include <stdexcept>

class TDateEdit;

// Raised when a day, month or year would make an impossible date.
class EConvertError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

// The button that opens the calendar popup for the edit it sits in.
class TDateButton : public QToolButton {
    Q_OBJECT
public:
    explicit TDateButton(TDateEdit* edit);
    // A click shows the calendar modally for the edit, then the click's other
    // handlers run.
    void showPopup();

    // The "CALPOPUP" glyph: a small calendar page, drawn here.
    static QIcon glyph();
};

class TDateEdit : public QLineEdit {
    Q_OBJECT
public:
    explicit TDateEdit(QWidget* parent = nullptr);
    ~TDateEdit() override;

    // Days since 30 December 1899, the time of day as the fraction; 0 is no date.
    double Date() const { return m_date; }
    void setDate(double value);
    // The date part alone (invalid for no date).
    QDate date() const;
    void setDate(const QDate& date);

    // Parts of Date. Setting one does nothing while Date is 0 or when it is equal;
    // an impossible date raises EConvertError and leaves Date unchanged.
    quint16 Year() const;
    quint16 Month() const;
    quint16 Day() const;
    void setYear(quint16 year);
    void setMonth(quint16 month);
    void setDay(quint16 day);

    QColor ValidDateColor = Qt::blue;
    QList<double> ValidDates;
    bool IsValidDate(double value) const { return ValidDates.contains(value); }

    QChar dateSeparator() const { return m_separator; }
    QString displayFormat() const { return m_displayFormat; }
    int currentPart() const { return m_part; }
    // 1-based positions of the two separators in the text; 0 when not found.
    int firstSeparator() const { return m_sep1; }
    int secondSeparator() const { return m_sep2; }
    TDateButton* button() const { return m_button; }

    // Selects the first, second or third date field of the text.
    void selectPart(int part);

signals:
    void OnDateChange();

protected:
    void resizeEvent(QResizeEvent* event) override;
    void focusInEvent(QFocusEvent* event) override;
    void focusOutEvent(QFocusEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;

private:
    void locateSeparators();
    // Reads the typed text into Date; text that is no date is refused with a
    // message, the date before it shown again and the focus kept (false).
    bool takeTypedText();
    void setPart(quint16 year, quint16 month, quint16 day);

    double m_date = 0;
    QChar m_separator;
    QString m_displayFormat;
    int m_part = 1;
    // The current part was entered and nothing typed in it yet: the first digit
    // replaces the whole part, wherever the caret stands.
    bool m_partFresh = false;
    int m_sep1 = 0;
    int m_sep2 = 0;
    TDateButton* m_button = nullptr;
};
