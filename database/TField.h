#pragma once
// One column of a record set, read and written by name through its record set's
// current row (or its edit buffer while the record set is being edited).

#include <QDateTime>
#include <QString>
#include <QVariant>

class TQuery;

class TField {
public:
    TField(TQuery* dataSet, int index, const QString& name, QMetaType::Type type, int size, bool calculated);

    TQuery* dataSet() const { return m_dataSet; }
    int index() const { return m_index; }
    void setIndex(int index) { m_index = index; }
    QString fieldName() const { return m_name; }
    QMetaType::Type dataType() const { return m_type; }
    // Declared width in characters for text columns, 0 otherwise.
    int size() const { return m_size; }
    bool isCalculated() const { return m_calculated; }

    QVariant value() const;
    // The value before the current edit began (null for a new record).
    QVariant oldValue() const;
    bool isNull() const;
    QString asString() const;
    int asInteger() const;
    bool asBoolean() const;
    QDateTime asDateTime() const;
    // The stored bytes (UTF-8 for text).
    QByteArray rawBytes() const;

    void setValue(const QVariant& value);
    void setAsString(const QString& value);
    void setAsInteger(int value);
    void setAsBoolean(bool value);
    void setAsDateTime(const QDateTime& value);
    void setAsDate(const QDate& value);
    void clear();

    QString displayLabel() const { return m_displayLabel.isEmpty() ? m_name : m_displayLabel; }
    void setDisplayLabel(const QString& label) { m_displayLabel = label; }
    int displayWidth() const;
    void setDisplayWidth(int width) { m_displayWidth = width; }
    Qt::Alignment alignment() const;
    void setAlignment(Qt::Alignment alignment) { m_alignment = alignment; }
    // Takes the display label, width and alignment another field was given.
    void assignDisplay(const TField& other)
    {
        m_displayLabel = other.m_displayLabel;
        m_displayWidth = other.m_displayWidth;
        m_alignment = other.m_alignment;
    }

private:
    TQuery* m_dataSet;
    int m_index;
    QString m_name;
    QMetaType::Type m_type;
    int m_size;
    bool m_calculated;
    QString m_displayLabel;
    int m_displayWidth = -1;
    Qt::Alignment m_alignment;
};
