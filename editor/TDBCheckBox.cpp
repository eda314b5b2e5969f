#include "editor/TDBCheckBox.h"

#include "database/EDatabaseError.h"
#include "database/TQuery.h"
#include "platform/MessageBox.h"

TDBCheckBox::TDBCheckBox(const QString& caption, QWidget* parent) : QCheckBox(caption, parent)
{
    connect(this, &QCheckBox::toggled, this, &TDBCheckBox::stateToggled);
}

void TDBCheckBox::setDataField(TQuery* dataSet, const QString& fieldName)
{
    disconnect(m_connection);
    m_dataSet = dataSet;
    m_field = fieldName;
    if (dataSet)
        m_connection = connect(dataSet, &TQuery::dataChanged, this, &TDBCheckBox::refresh);
    refresh();
}

void TDBCheckBox::refresh()
{
    bool on = false;
    if (m_dataSet && m_dataSet->active())
        if (const TField* f = m_dataSet->findField(m_field))
            on = f->asString().trimmed() == m_valueChecked;
    if (on == isChecked())
        return;
    m_refreshing = true;
    setChecked(on);
    m_refreshing = false;
}

void TDBCheckBox::stateToggled(bool on)
{
    if (m_refreshing || !m_dataSet || !m_dataSet->active())
        return;
    try {
        m_dataSet->fieldByName(m_field)->setAsString(on ? m_valueChecked : m_valueUnchecked);
    } catch (const EDatabaseError& e) {
        Platform::showError(e.message());
        refresh();
    }
}
