#include "platform/DateTimeValue.h"

#include <cmath>

namespace Platform {

namespace {

const QDate epoch(1899, 12, 30);
constexpr double msPerDay = 86400000.0;

} // namespace

double dateValue(const QDate& date) { return date.isValid() ? double(epoch.daysTo(date)) : 0.0; }

double dateTimeValue(const QDateTime& moment)
{
    if (!moment.isValid())
        return 0.0;
    return dateValue(moment.date()) + moment.time().msecsSinceStartOfDay() / msPerDay;
}

// Negative values count days back and a positive fraction forward, as the old toolkit did.
QDateTime toDateTime(double value)
{
    const double days = std::trunc(value);
    const double fraction = std::fabs(value - days);
    const QDate date = epoch.addDays(qint64(days));
    const int ms = int(std::llround(fraction * msPerDay));
    return QDateTime(date, QTime::fromMSecsSinceStartOfDay(std::min(ms, int(msPerDay) - 1)));
}

QDate toDate(double value) { return epoch.addDays(qint64(std::trunc(value))); }

double nowValue() { return dateTimeValue(QDateTime::currentDateTime()); }

} // namespace Platform
