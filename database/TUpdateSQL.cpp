#include "database/TUpdateSQL.h"

#include "database/EDatabaseError.h"
#include "database/TQuery.h"

TUpdateSQL::TUpdateSQL(QObject* owner) : QObject(owner) { }

void TUpdateSQL::apply(Kind kind)
{
    if (!m_dataSet)
        throw EDatabaseError(QStringLiteral("The update object has no dataset"));
    TQuery statement;
    statement.setDatabaseName(m_dataSet->databaseName());
    statement.setSQL(m_sql[int(kind)]);
    for (const QString& name : statement.paramNames()) {
        const bool old = name.startsWith(QLatin1String("OLD_"), Qt::CaseInsensitive);
        TField* field = m_dataSet->findField(old ? name.mid(4) : name);
        if (!field)
            statement.setParamNull(name);
        else
            statement.setParam(name, old ? field->oldValue() : field->value());
    }
    statement.execSQL();
}
