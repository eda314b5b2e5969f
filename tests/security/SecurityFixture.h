#pragma once
// Shared set-up of the component tests: a real security database with its PROGRAM
// row, a component started on it without logging anybody on, every message recorded.
// Dialogs shown by exec() are driven with whenModal (tests/support/ModalPoller.h).

#include "database/TDatabase.h"
#include "platform/Application.h"
#include "security/TJovCSsecure.h"
#include "tests/support/MessageRecorder.h"
#include "tests/support/ModalPoller.h"
#include "tests/support/TestDatabase.h"

#include <QApplication>
#include <QDate>
#include <QWidget>
#include <gtest/gtest.h>

#include <memory>

// The controls a Tab press visits, in order, starting with first.
inline QList<QWidget*> tabOrder(QWidget* first)
{
    QList<QWidget*> order {first};
    for (QWidget* w = first->nextInFocusChain(); w && w != first; w = w->nextInFocusChain())
        if (w->focusPolicy() & Qt::TabFocus)
            order << w;
    return order;
}

class SecurityTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        Platform::resetTerminationRequest();
        db = std::make_unique<TestDatabase>();
        db->addProgram(1, 1);
    }

    void TearDown() override
    {
        ++modalPollerGeneration();
        component.reset();
        for (QWidget* w : QApplication::topLevelWidgets())
            w->close();
        db.reset();
        Platform::resetTerminationRequest();
    }

    // Starts the component on the test database without logging on.
    TJovCSsecure& start(TSecurityOptions options = soShowUI, const QString& password = "masterkey")
    {
        component = std::make_unique<TJovCSsecure>();
        component->setAlias(db->alias());
        component->setPassword(password);
        component->setOptions(options);
        component->Loaded();
        EXPECT_FALSE(Platform::terminationRequested());
        EXPECT_TRUE(messages.shown.isEmpty()) << qPrintable(messages.texts().join("|"));
        return *component;
    }

    int userInt(int id, const QString& column) const
    {
        return db->scalar(QStringLiteral("select %1 from USERS where USER_ID = %2").arg(column).arg(id)).toInt();
    }
    QString historyText(int id, const QString& column) const
    {
        return db->scalar(QStringLiteral("select %1 from PWHIST where USER_ID = %2").arg(column).arg(id));
    }
    int logRows(const QString& where = QStringLiteral("1=1")) const
    {
        return db->scalar("select count(*) from LOG where " + where).toInt();
    }
    static QString sqlDate(const QDate& d) { return "'" + d.toString(Qt::ISODate) + "'"; }

    std::unique_ptr<TestDatabase> db;
    std::unique_ptr<TJovCSsecure> component;
    MessageRecorder messages;
};
