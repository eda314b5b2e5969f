#pragma once
// The user's regional date settings and the date pattern language the system stores
// formats in ("M/d/yyyy", "mmmm d, yyyy", "ddddd"). Patterns ignore letter case:
// d, dd day; ddd, dddd day name; ddddd the short date format; m, mm month; mmm, mmmm
// month name; yy, yyyy year; "/" the date separator; text in quotes is copied.
// Years always show four digits.

#include <QChar>
#include <QDate>
#include <QDateTime>
#include <QLocale>
#include <QString>

#include <optional>

namespace Platform {

struct RegionalSettings {
    QChar dateSeparator = QLatin1Char('/');
    QString shortDateFormat = QStringLiteral("M/d/yyyy");
    // Day and month names.
    QLocale locale = QLocale::c();
};

// The settings of a locale: its short date format, with the separator it uses and
// two-digit years widened to four; the defaults for the C locale.
RegionalSettings regionalSettingsFor(const QLocale& locale);
// The settings in effect: the user's locale, unless a test set others.
RegionalSettings regionalSettings();
void setRegionalSettings(const std::optional<RegionalSettings>& settings);

// Formats a date, with its time of day where the pattern asks for none.
QString formatDate(const QString& pattern, const QDate& date, const RegionalSettings& settings);
QString formatDate(const QString& pattern, const QDate& date);
// The one way the system shows a date-time: the short date, followed by the 24-hour
// time of day ("1/12/2026 15:30:00") unless the time is midnight.
QString formatDateTime(const QDateTime& moment, const RegionalSettings& settings);
QString formatDateTime(const QDateTime& moment);
// The widest text formatDateTime gives, for columns that must hold any date-time.
QString widestDateTime(const RegionalSettings& settings);

// Reads text typed in the short date format: day, month and year numbers split by the
// separator, in the format's order. Two numbers mean the current year; a two-digit
// year falls within 50 years of today. Nothing when the text is not a date.
std::optional<QDate> parseShortDate(const QString& text, const RegionalSettings& settings);
std::optional<QDate> parseShortDate(const QString& text);

} // namespace Platform
