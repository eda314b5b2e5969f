#include "database/TLogSlices.h"

void TLogSlices::forEach(qint64 first, qint64 last, const std::function<void(const QString& condition)>& deleteSlice)
{
    for (qint64 from = first; from <= last; from += kRows)
        deleteSlice(QStringLiteral("LOGCOUNT >= %1 and LOGCOUNT < %2").arg(from).arg(from + kRows));
    deleteSlice(last < first ? QStringLiteral("1 = 1")
                             : QStringLiteral("(LOGCOUNT < %1 or LOGCOUNT > %2)").arg(first).arg(last));
}

int TLogSlices::count(qint64 first, qint64 last) { return int(last < first ? 1 : (last - first) / kRows + 2); }
