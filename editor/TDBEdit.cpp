#include "editor/TDBEdit.h"

#include "database/EDatabaseError.h"
#include "database/TQuery.h"
#include "platform/MessageBox.h"

TDBEdit::TDBEdit(QWidget* parent) : QLineEdit(parent)
{
    connect(this, &QLineEdit::textEdited, this, &TDBEdit::userEdited);
}

void TDBEdit::setDataField(TQuery* dataSet, const QString& fieldName)
{
    disconnect(m_connection);
    m_dataSet = dataSet;
    m_field = fieldName;
    if (dataSet)
        m_connection = connect(dataSet, &TQuery::dataChanged, this, &TDBEdit::refresh);
    refresh();
}

void TDBEdit::refresh()
{
    QString value;
    if (m_dataSet && m_dataSet->active())
        if (const TField* f = m_dataSet->findField(m_field))
            value = f->asString();
    if (value == text())
        return;
    m_refreshing = true;
    setText(value);
    m_refreshing = false;
}

void TDBEdit::userEdited(const QString& value)
{
    if (m_refreshing || !m_dataSet || !m_dataSet->active())
        return;
    try {
        // An emptied edit leaves the field without a value, as a new record has.
        TField* field = m_dataSet->fieldByName(m_field);
        if (value.isEmpty())
            field->clear();
        else
            field->setAsString(value);
    } catch (const EDatabaseError& e) {
        Platform::showError(e.message());
        refresh();
    }
}
