#pragma once
// What a command reports on standard output: plain text for people, or JSON for
// scripts (--json). Errors go to standard error in either case.

#include <QJsonArray>
#include <QJsonObject>
#include <QStringList>
#include <QTextStream>
#include <QVariantList>

class TAdminOutput {
public:
    TAdminOutput(QTextStream& out, QTextStream& err, bool json) : m_out(out), m_err(err), m_json(json) { }

    bool json() const { return m_json; }
    QTextStream& out() { return m_out; }
    QTextStream& err() { return m_err; }

    // Rows under column names: aligned columns, or an array of objects keyed by them.
    void table(const QStringList& columns, const QList<QVariantList>& rows);
    // One record in the given order: "Name: value" lines, or one object.
    void record(const QStringList& names, const QVariantList& values, const QJsonObject& extra = {});
    // The result of a change: one line, or {"result": text, ...extra}.
    void done(const QString& text, const QJsonObject& extra = {});
    void writeJson(const QJsonValue& value);

    static QJsonValue toJson(const QVariant& value);
    static QString toText(const QVariant& value);
    // The text with its control characters written as \xHH, safe to print to a terminal.
    static QString printable(const QString& text);

private:
    QTextStream& m_out;
    QTextStream& m_err;
    bool m_json;
};
