#include "TCsvWriter.h"

namespace TCsvWriter {

QString cell(const QString& text)
{
    static const QString formulaStarts = QStringLiteral("=+-@\t\r");
    QString value = text;
    if (!value.isEmpty() && formulaStarts.contains(value.front()))
        value.prepend(QLatin1Char('\''));
    if (!value.contains(QLatin1Char(',')) && !value.contains(QLatin1Char('"')) && !value.contains(QLatin1Char('\n')) &&
        !value.contains(QLatin1Char('\r')))
        return value;
    value.replace(QLatin1String("\""), QLatin1String("\"\""));
    return QLatin1Char('"') + value + QLatin1Char('"');
}

} // namespace TCsvWriter
