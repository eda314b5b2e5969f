#pragma once
// Filters a record set for the life of the scope. Leaving the scope, also by an
// exception, removes the filter again (which cancels an unposted edit).

#include "database/TQuery.h"

class TFilterScope {
public:
    TFilterScope(TQuery* dataSet, const QString& expression) : m_dataSet(dataSet)
    {
        m_dataSet->setFilter(expression);
        m_dataSet->setFiltered(true);
    }
    ~TFilterScope()
    {
        try {
            m_dataSet->setFiltered(false);
        } catch (...) {
            // Removing a filter only rebuilds the in-memory view.
        }
    }
    TFilterScope(const TFilterScope&) = delete;
    TFilterScope& operator=(const TFilterScope&) = delete;

private:
    TQuery* m_dataSet;
};
