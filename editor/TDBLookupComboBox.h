#pragma once
// A drop-down list of one field of a record set (the list field), in the record
// set's order, whose value is the key field of the chosen row. The list follows the
// whole result, whatever filter the record set has at the moment, and is rebuilt
// when the record set is opened again with other rows.

#include <QComboBox>
#include <QHash>
#include <QPointer>
#include <QVariant>

#include <vector>

#include "database/TQuery.h"

class TDBLookupComboBox : public QComboBox {
    Q_OBJECT
public:
    explicit TDBLookupComboBox(QWidget* parent = nullptr);

    void setListSource(TQuery* dataSet, const QString& keyField, const QString& listField);
    // The key of the shown entry; -1 when none is shown.
    QVariant keyValue() const { return m_key; }
    // Shows the entry with this key; an unknown key, -1 or null shows none.
    void setKeyValue(const QVariant& key);
    // The shown name, empty when none.
    QString text() const { return currentText(); }
    // Chooses the entry at the index as the user would (emits keyValueChanged).
    void chooseIndex(int index);
    QStringList names() const { return m_names; }

    void showPopup() override;

signals:
    // The list is about to open.
    void dropDown();
    // The user chose an entry.
    void keyValueChanged();

private:
    void reload();
    void showKey();

    QPointer<TQuery> m_dataSet;
    QString m_keyField;
    QString m_listField;
    std::vector<QVariant> m_keys;
    QStringList m_names;
    QHash<QString, int> m_indexOfKey;
    QVariant m_key = -1;
};
