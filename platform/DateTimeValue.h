#pragma once
// The date-time value of the old toolkit: days since 30 December 1899 as a double,
// the time of day as its fraction. 0 stands for "no date" where a caller says so.

#include <QDate>
#include <QDateTime>

namespace Platform {

double dateTimeValue(const QDateTime& moment);
double dateValue(const QDate& date);
QDateTime toDateTime(double value);
QDate toDate(double value);
// Now, with the time of day.
double nowValue();

} // namespace Platform
