#pragma once
// Shared set-up of the component tests: a real security database with its PROGRAM
// row, a component started on it without logging anybody on, every message recorded,
// and a poller that acts on a modal dialog once exec() has shown it.

#include "database/TDatabase.h"
#include "platform/Application.h"
#include "security/JovCSsec.h"
#include "tests/support/MessageRecorder.h"
#include "tests/support/TestDatabase.h"

#include <QApplication>
#include <QDate>
#include <QTimer>
#include <QWidget>
#include <gtest/gtest.h>

#include <functional>
#include <memory>

// Arms a poller that runs action on the first modal dialog that shows. It keeps
// looking for a bounded number of event-loop turns, so a dialog that never shows
// fails the test's expectations instead of hanging.
inline void whenModal(std::function<void(QWidget*)> action, int turnsLeft = 2000)
{
    QTimer::singleShot(0, [action = std::move(action), turnsLeft]() mutable {
        if (QWidget* modal = QApplication::activeModalWidget())
            action(modal);
        else if (turnsLeft > 0)
            whenModal(std::move(action), turnsLeft - 1);
    });
}

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
