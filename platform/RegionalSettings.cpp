#include "platform/RegionalSettings.h"

#include <QStringList>

namespace Platform {

namespace {

std::optional<RegionalSettings>& overridden()
{
    static std::optional<RegionalSettings> settings;
    return settings;
}

bool isQuote(QChar c) { return c == QLatin1Char('\'') || c == QLatin1Char('"'); }

// A run of one letter, ignoring case, starting at i.
int runLength(const QString& pattern, int i)
{
    const QChar c = pattern.at(i).toLower();
    int n = 1;
    while (i + n < pattern.size() && pattern.at(i + n).toLower() == c)
        ++n;
    return n;
}

// Qt's short formats may carry one- or two-digit years; ours always show four.
QString widenYears(const QString& qtPattern)
{
    QString out;
    bool quoted = false;
    for (int i = 0; i < qtPattern.size();) {
        const QChar c = qtPattern.at(i);
        if (c == QLatin1Char('\'')) {
            quoted = !quoted;
            out += c;
            ++i;
        } else if (!quoted && c.toLower() == QLatin1Char('y')) {
            i += runLength(qtPattern, i);
            out += QStringLiteral("yyyy");
        } else {
            out += c;
            ++i;
        }
    }
    return out;
}

QString padded(int value, int width) { return QStringLiteral("%1").arg(value, width, 10, QLatin1Char('0')); }

} // namespace

RegionalSettings regionalSettingsFor(const QLocale& locale)
{
    RegionalSettings settings;
    if (locale.language() == QLocale::C)
        return settings;
    const QString pattern = widenYears(locale.dateFormat(QLocale::ShortFormat));
    bool quoted = false;
    for (const QChar c : pattern) {
        if (c == QLatin1Char('\''))
            quoted = !quoted;
        else if (!quoted && !c.isLetter() && !c.isSpace()) {
            settings.dateSeparator = c;
            break;
        }
    }
    settings.shortDateFormat = pattern;
    settings.locale = locale;
    return settings;
}

RegionalSettings regionalSettings()
{
    if (overridden())
        return *overridden();
    return regionalSettingsFor(QLocale::system());
}

void setRegionalSettings(const std::optional<RegionalSettings>& settings) { overridden() = settings; }

QString formatDate(const QString& pattern, const QDate& date, const RegionalSettings& settings)
{
    if (!date.isValid())
        return QString();
    QString out;
    for (int i = 0; i < pattern.size();) {
        const QChar c = pattern.at(i);
        const QChar lower = c.toLower();
        if (isQuote(c)) {
            const int end = pattern.indexOf(c, i + 1);
            out += pattern.mid(i + 1, end < 0 ? -1 : end - i - 1);
            i = end < 0 ? pattern.size() : end + 1;
            continue;
        }
        if (c == QLatin1Char('/')) {
            out += settings.dateSeparator;
            ++i;
            continue;
        }
        if (lower != QLatin1Char('d') && lower != QLatin1Char('m') && lower != QLatin1Char('y')) {
            out += c;
            ++i;
            continue;
        }
        const int n = runLength(pattern, i);
        i += n;
        if (lower == QLatin1Char('y')) {
            out += padded(date.year(), 4);
        } else if (lower == QLatin1Char('m')) {
            if (n <= 2)
                out += padded(date.month(), n);
            else
                out += settings.locale.monthName(date.month(), n == 3 ? QLocale::ShortFormat : QLocale::LongFormat);
        } else if (n <= 2) {
            out += padded(date.day(), n);
        } else if (n <= 4) {
            out += settings.locale.dayName(date.dayOfWeek(), n == 3 ? QLocale::ShortFormat : QLocale::LongFormat);
        } else if (n == 5) {
            out += formatDate(settings.shortDateFormat, date, settings);
        } else {
            out += widenYears(settings.locale.toString(date, QLocale::LongFormat));
        }
    }
    return out;
}

QString formatDate(const QString& pattern, const QDate& date) { return formatDate(pattern, date, regionalSettings()); }

QString formatDateTime(const QDateTime& moment, const RegionalSettings& settings)
{
    if (!moment.isValid())
        return QString();
    QString text = formatDate(QStringLiteral("ddddd"), moment.date(), settings);
    if (moment.time() != QTime(0, 0))
        text += QLatin1Char(' ') + moment.time().toString(QStringLiteral("HH:mm:ss"));
    return text;
}

QString formatDateTime(const QDateTime& moment) { return formatDateTime(moment, regionalSettings()); }

QString widestDateTime(const RegionalSettings& settings)
{
    // Two-digit day and month; digits share one width in report and grid fonts.
    return formatDateTime(QDateTime(QDate(2026, 12, 28), QTime(23, 58, 58)), settings);
}

std::optional<QDate> parseShortDate(const QString& text, const RegionalSettings& settings)
{
    // The order of day, month and year in the format.
    QString order;
    for (const QChar c : settings.shortDateFormat) {
        const QChar lower = c.toLower();
        if ((lower == QLatin1Char('d') || lower == QLatin1Char('m') || lower == QLatin1Char('y')) &&
            !order.contains(lower))
            order += lower;
    }
    if (order.size() != 3)
        order = QStringLiteral("mdy");

    const QStringList parts = text.trimmed().split(settings.dateSeparator);
    if (parts.size() < 2 || parts.size() > 3)
        return std::nullopt;
    QList<int> numbers;
    QList<int> digits;
    for (const QString& raw : parts) {
        const QString part = raw.trimmed();
        bool ok = false;
        const int value = part.toInt(&ok);
        if (part.isEmpty() || !ok || part.size() > 4 || part.startsWith(QLatin1Char('-')) ||
            part.startsWith(QLatin1Char('+')))
            return std::nullopt;
        numbers << value;
        digits << int(part.size());
    }

    const QDate today = QDate::currentDate();
    int day = 0, month = 0, year = today.year();
    int yearDigits = 4;
    if (numbers.size() == 2)
        order.remove(QLatin1Char('y'));
    for (int k = 0; k < numbers.size(); ++k) {
        switch (order.at(k).toLatin1()) {
        case 'd':
            day = numbers[k];
            break;
        case 'm':
            month = numbers[k];
            break;
        default:
            year = numbers[k];
            yearDigits = digits[k];
        }
    }
    if (yearDigits <= 2) {
        year += today.year() / 100 * 100;
        if (year > today.year() + 49)
            year -= 100;
        else if (year <= today.year() - 50)
            year += 100;
    }
    const QDate date(year, month, day);
    if (!date.isValid() || year < 1)
        return std::nullopt;
    return date;
}

std::optional<QDate> parseShortDate(const QString& text) { return parseShortDate(text, regionalSettings()); }

} // namespace Platform
