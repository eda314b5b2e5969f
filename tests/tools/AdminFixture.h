#pragma once
// Shared set-up of the jovsecadm tests: a real security database with its PROGRAM
// row, and the tool run in-process on it with what it wrote and its exit status.

#include "database/TDatabase.h"
#include "tests/support/MessageRecorder.h"
#include "tests/support/TestDatabase.h"
#include "tools/jovsecadm/TAdminTool.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QTemporaryDir>
#include <gtest/gtest.h>

#include <memory>

inline void PrintTo(const QString& text, std::ostream* os) { *os << '"' << text.toStdString() << '"'; }

struct AdminResult {
    int status = -1;
    QString out;
    QString err;
    QJsonValue json() const
    {
        const QJsonDocument doc = QJsonDocument::fromJson(out.toUtf8());
        return doc.isArray() ? QJsonValue(doc.array()) : QJsonValue(doc.object());
    }
};

inline std::ostream& operator<<(std::ostream& os, const AdminResult& r)
{
    return os << "status " << r.status << "\nout: " << r.out.toStdString() << "\nerr: " << r.err.toStdString();
}

class AdminTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        db = std::make_unique<TestDatabase>();
        db->addProgram(1, 1);
    }
    void TearDown() override
    {
        db.reset();
        TDatabase::dropTemporaryConnections();
    }

    // Runs jovsecadm on the test database.
    AdminResult adm(const QStringList& arguments) const
    {
        AdminResult r;
        QTextStream out(&r.out);
        QTextStream err(&r.err);
        r.status = TAdminTool::run(QStringList {"--alias", db->alias()} + arguments, out, err);
        TDatabase::dropTemporaryConnections();
        return r;
    }
    AdminResult json(const QStringList& arguments) const { return adm(QStringList {"--json"} + arguments); }

    int integer(const QString& sql) const { return db->scalar(sql).toInt(); }
    int userId(const QString& name) const
    {
        return integer("select USER_ID from USERS where USER_NAME = '" + name + "'");
    }
    QString file(const QString& name, const QByteArray& content) const
    {
        const QString path = tmp.path() + "/" + name;
        QFile f(path);
        f.open(QIODevice::WriteOnly);
        f.write(content);
        return path;
    }

    std::unique_ptr<TestDatabase> db;
    MessageRecorder messages;
    QTemporaryDir tmp;
};
