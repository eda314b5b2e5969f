#pragma once
// Shared set-up of the editor tests: a real security database, every message and
// input box recorded or answered, an editor shown on the database through its
// FormShow, and a poller that acts on a modal dialog once exec() has shown it.

#include "database/TQuery.h"
#include "editor/TFormCSMain.h"
#include "editor/TDBCheckBox.h"
#include "editor/TDBEdit.h"
#include "editor/TDBLookupComboBox.h"
#include "editor/TListBox.h"
#include "widgets/TRadioGroup.h"
#include "editor/TUpDown.h"
#include "platform/MessageBox.h"
#include "tests/support/MessageRecorder.h"
#include "tests/support/ModalPoller.h"
#include "tests/support/TestDatabase.h"

#include <QApplication>
#include <QCheckBox>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QTabWidget>
#include <QTest>
#include <QTimer>
#include <QToolButton>
#include <QWidget>
#include <gtest/gtest.h>

#include <functional>
#include <memory>

// Readable texts in failure reports.
inline void PrintTo(const QString& text, std::ostream* os) { *os << '"' << text.toStdString() << '"'; }
inline void PrintTo(const QStringList& list, std::ostream* os)
{
    *os << '{' << list.join(QStringLiteral("|")).toStdString() << '}';
}

class EditorTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        db = std::make_unique<TestDatabase>();
        Platform::setInputHandler([this](const QString& caption, const QString& prompt, QString& value) {
            prompts << caption + "|" + prompt + "|" + value;
            if (inputs.isEmpty())
                return false;
            value = inputs.takeFirst();
            return true;
        });
    }

    void TearDown() override
    {
        ++modalPollerGeneration();
        editor.reset();
        for (QWidget* w : QApplication::topLevelWidgets())
            w->close();
        Platform::setInputHandler({});
        db.reset();
    }

    // Shows the editor's data as FormShow loads it, without a window.
    TFormCSMain& openEditor(bool limitAccess = false)
    {
        editor = std::make_unique<TFormCSMain>();
        editor->SecAlias = db->alias();
        editor->LimitAccess = limitAccess;
        FormCSMain = editor.get();
        editor->FormShow();
        return *editor;
    }

    // Chooses the user in the lookup as a click would.
    void choose(const QString& name)
    {
        const int index = editor->dblkUserName->names().indexOf(name);
        ASSERT_GE(index, 0) << qPrintable(name);
        editor->dblkUserName->chooseIndex(index);
    }

    // Selects the entry with this text in a list box.
    static void select(TListBox* list, const QString& text)
    {
        const int index = list->texts().indexOf(text);
        ASSERT_GE(index, 0) << qPrintable(text + " in " + list->texts().join(","));
        list->setItemIndex(index);
    }

    int integer(const QString& sql) const { return db->scalar(sql).toInt(); }
    int userInt(int id, const QString& column) const
    {
        return integer(QStringLiteral("select %1 from USERS where USER_ID = %2").arg(column).arg(id));
    }
    QString historyText(int id, const QString& column) const
    {
        return db->scalar(QStringLiteral("select %1 from PWHIST where USER_ID = %2").arg(column).arg(id));
    }
    int addConstant(const QString& name) const
    {
        db->exec("insert into ACCESS (ACCESS_NAME) values ('" + name + "')");
        return integer("select max(ACCESS_ID) from ACCESS");
    }
    int addGroup(const QString& name) const
    {
        db->exec("insert into GROUPS (GROUP_NAME) values ('" + name + "')");
        return integer("select max(GROUP_ID) from GROUPS");
    }
    void grant(int userId, int accessId, const QString& type) const
    {
        db->exec(QStringLiteral("insert into USERACC (USER_ID, ACCESS_ID, TYPE) values (%1, %2, '%3')")
                     .arg(userId)
                     .arg(accessId)
                     .arg(type));
    }

    std::unique_ptr<TestDatabase> db;
    MessageRecorder messages;
    QStringList inputs;
    QStringList prompts;
    std::unique_ptr<TFormCSMain> editor;
};
