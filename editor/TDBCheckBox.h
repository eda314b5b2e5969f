#pragma once
// A check box bound to a field of a record set: checked when the field holds the
// checked value ("1"); a change of the check state, by the user or by the program,
// stores "1" or "0" in the field.

#include <QCheckBox>
#include <QPointer>

#include "database/TQuery.h"

class TDBCheckBox : public QCheckBox {
    Q_OBJECT
public:
    explicit TDBCheckBox(const QString& caption, QWidget* parent = nullptr);

    void setDataField(TQuery* dataSet, const QString& fieldName);
    TQuery* dataSet() const { return m_dataSet; }
    QString dataField() const { return m_field; }
    QString valueChecked() const { return m_valueChecked; }
    QString valueUnchecked() const { return m_valueUnchecked; }
    void refresh();

private:
    void stateToggled(bool on);

    QPointer<TQuery> m_dataSet;
    QString m_field;
    QString m_valueChecked = QStringLiteral("1");
    QString m_valueUnchecked = QStringLiteral("0");
    QMetaObject::Connection m_connection;
    bool m_refreshing = false;
};
