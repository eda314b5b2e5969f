#include "editor/TDBLookupComboBox.h"

#include "database/TFilter.h"
#include "database/TQuery.h"

TDBLookupComboBox::TDBLookupComboBox(QWidget* parent) : QComboBox(parent)
{
    setEditable(false);
    setMaxVisibleItems(20);
    connect(this, &QComboBox::activated, this, &TDBLookupComboBox::chooseIndex);
}

void TDBLookupComboBox::setListSource(TQuery* dataSet, const QString& keyField, const QString& listField)
{
    if (m_dataSet)
        disconnect(m_dataSet, nullptr, this, nullptr);
    m_dataSet = dataSet;
    m_keyField = keyField;
    m_listField = listField;
    if (dataSet)
        connect(dataSet, &TQuery::stateChanged, this, &TDBLookupComboBox::reload);
    reload();
}

void TDBLookupComboBox::reload()
{
    // A record set closed to be opened again keeps its list on show meanwhile.
    if (m_dataSet && !m_dataSet->active())
        return;
    std::vector<QVariant> keys;
    QStringList names;
    if (m_dataSet && m_dataSet->active()) {
        const TField* key = m_dataSet->findField(m_keyField);
        const TField* list = m_dataSet->findField(m_listField);
        if (key && list) {
            const int rows = m_dataSet->totalRowCount();
            keys.reserve(size_t(rows));
            names.reserve(rows);
            for (int r = 0; r < rows; ++r) {
                keys.push_back(m_dataSet->rowValue(r, key->index()));
                names << m_dataSet->rowValue(r, list->index()).toString();
            }
        }
    }
    // Edits and posts of single rows leave the list as it was: keep the widget then.
    if (names == m_names && keys == m_keys)
        return;
    m_keys = std::move(keys);
    m_names = std::move(names);
    m_indexOfKey.clear();
    m_indexOfKey.reserve(qsizetype(m_keys.size()));
    for (size_t i = 0; i < m_keys.size(); ++i)
        m_indexOfKey.insert(TFilter::keyOf(m_keys[i]), int(i));
    const bool blocked = blockSignals(true);
    setUpdatesEnabled(false);
    clear();
    addItems(m_names);
    setUpdatesEnabled(true);
    blockSignals(blocked);
    showKey();
}

void TDBLookupComboBox::showKey()
{
    int index = -1;
    if (!m_key.isNull() && !(m_key.toString() == QLatin1String("-1"))) {
        const auto it = m_indexOfKey.constFind(TFilter::keyOf(m_key));
        if (it != m_indexOfKey.cend())
            index = it.value();
    }
    const bool blocked = blockSignals(true);
    setCurrentIndex(index);
    blockSignals(blocked);
}

void TDBLookupComboBox::setKeyValue(const QVariant& key)
{
    m_key = key.isNull() ? QVariant(-1) : key;
    showKey();
}

void TDBLookupComboBox::chooseIndex(int index)
{
    if (index < 0 || index >= int(m_keys.size()))
        return;
    m_key = m_keys[size_t(index)];
    showKey();
    emit keyValueChanged();
}

void TDBLookupComboBox::showPopup()
{
    emit dropDown();
    QComboBox::showPopup();
}
