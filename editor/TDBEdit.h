#pragma once
// A line edit bound to a field of a record set: it shows the field of the current
// row whenever the record set's data change, and writes what the user types back
// through the field (which puts the record set into edit mode).

#include <QLineEdit>
#include <QPointer>

#include "database/TQuery.h"

class TDBEdit : public QLineEdit {
    Q_OBJECT
public:
    explicit TDBEdit(QWidget* parent = nullptr);

    void setDataField(TQuery* dataSet, const QString& fieldName);
    TQuery* dataSet() const { return m_dataSet; }
    QString dataField() const { return m_field; }
    // Shows the field's value of the current row (empty without one).
    void refresh();

private:
    void userEdited(const QString& text);

    QPointer<TQuery> m_dataSet;
    QString m_field;
    QMetaObject::Connection m_connection;
    bool m_refreshing = false;
};
