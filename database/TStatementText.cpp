#include "database/TStatementText.h"

#include "database/EDatabaseError.h"

#include <QRegularExpression>
#include <QSqlQuery>

namespace {
bool isDdl(const QString& text)
{
    static const QRegularExpression ddl(QStringLiteral("^\\s*(CREATE|ALTER|RECREATE)\\s+TABLE\\b"),
                                        QRegularExpression::CaseInsensitiveOption);
    return ddl.match(text).hasMatch();
}

// The old DATE type held a time of day; Firebird's dialect 3 DATE does not.
QString mapOldDateType(const QString& text)
{
    static const QRegularExpression date(QStringLiteral("\\bDATE\\b"), QRegularExpression::CaseInsensitiveOption);
    QString out = text;
    out.replace(date, QStringLiteral("TIMESTAMP"));
    return out;
}

// Each statement runs by itself; a trailing ";" is a terminator, not part of it.
QString stripTerminator(QString text)
{
    while (true) {
        const QString trimmed = text.trimmed();
        if (trimmed.endsWith(QLatin1Char(';')))
            text = trimmed.left(trimmed.size() - 1);
        else
            return trimmed;
    }
}

// Calls found(start, end, name) for every ":name" outside quoted text, and
// placeholder(at) for every "?" there.
template <typename Found, typename Placeholder>
void scanParams(const QString& text, Found found, Placeholder placeholder)
{
    QChar quote;
    for (int i = 0; i < text.size(); ++i) {
        const QChar c = text.at(i);
        if (!quote.isNull()) {
            if (c == quote)
                quote = QChar();
            continue;
        }
        if (c == QLatin1Char('\'') || c == QLatin1Char('"')) {
            quote = c;
            continue;
        }
        if (c == QLatin1Char('?'))
            placeholder(i);
        if (c != QLatin1Char(':') || i + 1 >= text.size())
            continue;
        if (i > 0 && (text.at(i - 1) == QLatin1Char(':') || text.at(i - 1).isLetterOrNumber()))
            continue;
        int j = i + 1;
        while (j < text.size() && (text.at(j).isLetterOrNumber() || text.at(j) == QLatin1Char('_')))
            ++j;
        if (j == i + 1)
            continue;
        found(i, j, text.mid(i + 1, j - i - 1));
        i = j - 1;
    }
}

template <typename Found>
void scanParams(const QString& text, Found found)
{
    scanParams(text, found, [](int) {});
}
} // namespace

void TStatementText::setLines(const QStringList& lines)
{
    m_lines = lines;
    m_placeholderValues.clear();
    std::vector<Param> params;
    scanParams(text(), [&](int, int, const QString& name) {
        for (const Param& p : params)
            if (p.name.compare(name, Qt::CaseInsensitive) == 0)
                return;
        params.push_back({name, QVariant()});
    });
    for (Param& p : params)
        if (const Param* old = findParam(p.name))
            p.value = old->value;
    m_params = std::move(params);
}

QStringList TStatementText::paramNames() const
{
    QStringList names;
    for (const Param& p : m_params)
        names << p.name;
    return names;
}

const TStatementText::Param* TStatementText::findParam(const QString& name) const
{
    for (const Param& p : m_params)
        if (p.name.compare(name, Qt::CaseInsensitive) == 0)
            return &p;
    return nullptr;
}

void TStatementText::setParam(const QString& name, const QVariant& value)
{
    for (Param& p : m_params)
        if (p.name.compare(name, Qt::CaseInsensitive) == 0) {
            p.value = value;
            return;
        }
    throw EDatabaseError(QStringLiteral("Parameter '%1' not found").arg(name));
}

QString TStatementText::engineText() const
{
    QString text = stripTerminator(this->text());
    if (isDdl(text))
        text = mapOldDateType(text);
    return text;
}

bool TStatementText::run(QSqlQuery& q, const QString& text, bool reuse) const
{
    // DDL and trigger bodies go unprepared: prepare() would rewrite ":name".
    if (!hasParams())
        return q.exec(text);
    // The driver cannot send a null for a parameter the engine describes as NOT
    // NULL (it sends an empty text), so nulls go into the text as NULL and the engine
    // refuses them where the column forbids them.
    QString prepared;
    QVariantList placeholderBinds;
    int copied = 0;
    int placeholder = 0;
    const auto writeNull = [&](int start, int end) {
        prepared += QStringView(text).mid(copied, start - copied);
        prepared += QLatin1String("NULL");
        copied = end;
    };
    scanParams(
        text,
        [&](int start, int end, const QString& name) {
            const Param* p = findParam(name);
            if (p && p->value.isNull())
                writeNull(start, end);
        },
        [&](int at) {
            const QVariant value = m_placeholderValues.value(placeholder++);
            if (value.isNull())
                writeNull(at, at + 1);
            else
                placeholderBinds << value;
        });
    prepared += QStringView(text).mid(copied);
    if (!(reuse && q.lastQuery() == prepared) && !q.prepare(prepared))
        return false;
    for (const Param& p : m_params)
        if (!p.value.isNull())
            q.bindValue(QLatin1Char(':') + p.name, p.value);
    for (int i = 0; i < placeholderBinds.size(); ++i)
        q.bindValue(i, placeholderBinds.at(i));
    return q.exec();
}

bool TStatementText::returnsRowSet(const QString& text)
{
    static const QRegularExpression select(QStringLiteral("^\\s*(SELECT|WITH)\\b"),
                                           QRegularExpression::CaseInsensitiveOption);
    return select.match(text).hasMatch();
}

bool TStatementText::changesRows(const QString& text)
{
    static const QRegularExpression dml(QStringLiteral("^\\s*(INSERT|UPDATE|DELETE|MERGE)\\b"),
                                        QRegularExpression::CaseInsensitiveOption);
    return dml.match(text).hasMatch();
}

bool TStatementText::locksRows(const QString& text)
{
    static const QRegularExpression lock(QStringLiteral("\\bwith\\s+lock\\b"),
                                         QRegularExpression::CaseInsensitiveOption);
    return lock.match(text).hasMatch();
}

QString TStatementText::tableOf(const QString& sql)
{
    static const QRegularExpression from(QStringLiteral("\\bfrom\\s+([A-Za-z_][A-Za-z0-9_$]*)"),
                                         QRegularExpression::CaseInsensitiveOption);
    const QRegularExpressionMatch m = from.match(sql);
    return m.hasMatch() ? m.captured(1).toUpper() : QString();
}
