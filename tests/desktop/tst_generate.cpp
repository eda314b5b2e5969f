// The constants generator: the exact bytes of the Pascal lines, the dialog's rules,
// the clipboard and file destinations, and a C++ header that compiles.
#include "database/TDatabase.h"
#include "database/TQuery.h"
#include "desktop/TfrmGenerate.h"
#include "widgets/TRadioGroup.h"
#include "tests/support/MessageRecorder.h"
#include "tests/support/ModalPoller.h"
#include "tests/support/TestDatabase.h"

#include <QClipboard>
#include <QComboBox>
#include <QDir>
#include <QFile>
#include <QGuiApplication>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QProcess>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTest>
#include <gtest/gtest.h>

inline void PrintTo(const QString& text, std::ostream* os) { *os << '"' << text.toStdString() << '"'; }
inline void PrintTo(const QByteArray& bytes, std::ostream* os) { *os << '"' << bytes.toStdString() << '"'; }

namespace {
// Compiles use.cpp in the folder with warnings as errors and runs it; its output,
// or the compiler's complaint.
QByteArray compileAndRun(const QString& folder)
{
    QProcess compiler;
    compiler.setWorkingDirectory(folder);
    compiler.start(JOVSEC_TEST_CXX, {"-std=c++17", "-Wall", "-Werror", "use.cpp", "-o", "use"});
    if (!compiler.waitForFinished(60000) || compiler.exitCode() != 0)
        return "compiler: " + compiler.readAllStandardError();
    QProcess run;
    run.start(QDir(folder).filePath("use"), {});
    run.waitForFinished(10000);
    return run.readAllStandardOutput();
}

} // namespace

TEST(GeneratorText, PascalLinesFillTheIdentifierTo23Characters)
{
    EXPECT_EQ(PascalConstants({{7, "Edit Users"}}), QByteArray("  dsc_Edit_Users         =7;\r\n"));
    EXPECT_EQ(PascalConstants({{7, "Edit Users"}}).size(), 30) << "28 characters and CRLF";
    EXPECT_EQ(PascalConstants({{12, "Nineteen Characters"}}), QByteArray("  dsc_Nineteen_Characters=12;\r\n"));
    EXPECT_EQ(PascalConstants({{3, "EighteenCharacters"}}), QByteArray("  dsc_EighteenCharacters =3;\r\n"));
    EXPECT_EQ(PascalConstants({{20, "Twenty Characters Xy"}}), QByteArray("  dsc_Twenty_Characters_Xy=20;\r\n"));
    EXPECT_EQ(PascalConstants({{5, "Order Entry/Edit"}}), QByteArray("  dsc_Order_Entry/Edit   =5;\r\n"));
    EXPECT_EQ(PascalConstants({{1, "a"}, {2, "b c"}}),
              QByteArray("  dsc_a                  =1;\r\n  dsc_b_c                =2;\r\n"));
    EXPECT_EQ(PascalConstants({}), QByteArray());
}

TEST(GeneratorText, CppHeaderMakesNamesValidAndListsThem)
{
    QStringList renamed;
    const QByteArray header = CppConstants(
        "MYAPP_SEC", {{1, "Edit Users"}, {2, "Order Entry/Edit"}, {3, "A B"}, {4, "A_B"}, {5, " x"}}, &renamed);
    EXPECT_TRUE(header.contains("#pragma once\n"));
    EXPECT_TRUE(header.contains("\"MYAPP_SEC\""));
    EXPECT_FALSE(header.contains('\r'));
    EXPECT_TRUE(header.contains("inline constexpr int dsc_Edit_Users = 1;\n"));
    EXPECT_TRUE(header.contains("inline constexpr int dsc_Order_Entry_Edit = 2;\n"));
    EXPECT_TRUE(header.contains("inline constexpr int dsc_A_B = 3;\n"));
    EXPECT_TRUE(header.contains("inline constexpr int dsc_A_B_4 = 4;\n")) << "a duplicate gets its id";
    EXPECT_TRUE(header.contains("inline constexpr int dsc_x = 5;\n")) << "no reserved double underscore";
    EXPECT_EQ(renamed,
              QStringList({"dsc_Order_Entry/Edit -> dsc_Order_Entry_Edit", "dsc_A_B -> dsc_A_B_4", "dsc__x -> dsc_x"}));
    EXPECT_EQ(CppConstants("MYAPP_SEC", {{1, "Edit Users"}}), CppConstants("MYAPP_SEC", {{1, "Edit Users"}}))
        << "no date: a rerun gives the same bytes";
}

// Labels that meet after renaming, also with the id a taken name gets: the header
// compiles and every constant keeps its own name and its own id.
TEST(GeneratorText, CppHeaderNamesStayDistinctWhenRenamedLabelsCollide)
{
    const QList<TAccessConstant> constants {{4, "A B"}, {5, "A B 6"}, {6, "A.B"},  {7, "A."},
                                            {8, "A_"},  {9, "A 8"},   {10, "A-8"}, {11, "A B 6 6"}};
    QTemporaryDir dir;
    QFile header(QDir(dir.path()).filePath("collide.h"));
    ASSERT_TRUE(header.open(QIODevice::WriteOnly));
    header.write(CppConstants("X", constants));
    header.close();

    // A program that prints every constant the header defines, in its order.
    QFile source(QDir(dir.path()).filePath("use.cpp"));
    ASSERT_TRUE(header.open(QIODevice::ReadOnly) && source.open(QIODevice::WriteOnly));
    source.write("#include \"collide.h\"\n#include <cstdio>\nint main() {\n");
    int defined = 0;
    for (const QByteArray& line : header.readAll().split('\n'))
        if (line.startsWith("inline constexpr int ")) {
            const QByteArray name = line.mid(21, line.indexOf(' ', 21) - 21);
            EXPECT_FALSE(name.contains("__")) << name.constData();
            source.write("std::printf(\"%d \", " + name + ");\n");
            ++defined;
        }
    source.write("}\n");
    source.close();
    EXPECT_EQ(defined, constants.size());

    EXPECT_EQ(compileAndRun(dir.path()), "4 5 6 7 8 9 10 11 ");
}

class GenerateTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        db = std::make_unique<TestDatabase>();
        for (const char* name : {"Edit Users", "Nineteen Characters", "Order Entry/Edit"})
            db->exec(QStringLiteral("insert into ACCESS (ACCESS_NAME) values ('%1')").arg(name));
        QGuiApplication::clipboard()->setText("before");
    }
    void TearDown() override
    {
        ++modalPollerGeneration();
        statement.close();
        TDatabase::dropTemporaryConnections();
    }
    // Runs Generate with act working on the dialog once it shows.
    void generate(std::function<void(TfrmGenerate*)> act)
    {
        bool seen = false;
        whenModal([&](QWidget* modal) {
            seen = true;
            act(qobject_cast<TfrmGenerate*>(modal));
        });
        GenerateConstants(nullptr, statement, db->alias());
        EXPECT_TRUE(seen);
    }
    QByteArray fileBytes(const QString& name) const
    {
        QFile file(QDir(dir.path()).filePath(name));
        return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray("<missing>");
    }

    std::unique_ptr<TestDatabase> db;
    TQuery statement;
    QTemporaryDir dir;
    MessageRecorder messages;
    const QByteArray expected = "  dsc_Edit_Users         =1;\r\n"
                                "  dsc_Nineteen_Characters=2;\r\n"
                                "  dsc_Order_Entry/Edit   =3;\r\n";
};

TEST_F(GenerateTest, ClipboardGetsTheLinesInIdOrder)
{
    generate([](TfrmGenerate* d) {
        EXPECT_EQ(d->windowTitle(), "Generate Constants");
        EXPECT_EQ(d->rgrpGen->itemIndex(), 0);
        EXPECT_EQ(d->rgrpGen->items(), QStringList({"Windows Clipboard", "Pascal Include File", "C++ Header File"}));
        EXPECT_EQ(d->edFile->text(), "*.pas");
        EXPECT_EQ(d->directory(), QDir::currentPath());
        EXPECT_EQ(d->lblDir->text(), QDir::currentPath());
        d->bbtnOk->click();
    });
    EXPECT_EQ(QGuiApplication::clipboard()->text().toUtf8(), expected);
    EXPECT_TRUE(messages.shown.isEmpty());
}

TEST_F(GenerateTest, AnEmptyAccessTableGivesAnEmptyText)
{
    db->exec("delete from ACCESS");
    generate([](TfrmGenerate* d) { d->bbtnOk->click(); });
    EXPECT_EQ(QGuiApplication::clipboard()->text(), "");
}

TEST_F(GenerateTest, TypingAFileNameChoosesTheFileAndWritesExactBytes)
{
    QFile(QDir(dir.path()).filePath("old.pas")).open(QIODevice::WriteOnly);
    generate([this](TfrmGenerate* d) {
        d->setDirectory(dir.path());
        EXPECT_EQ(d->FileListBox1->count(), 1) << "the *.pas files of the directory";
        d->edFile->setText("consts.pas");
        EXPECT_EQ(d->rgrpGen->itemIndex(), 1) << "typing switches to the file";
        d->bbtnOk->click();
    });
    EXPECT_EQ(fileBytes("consts.pas"), expected);
    EXPECT_EQ(QGuiApplication::clipboard()->text(), "before");
}

TEST_F(GenerateTest, WildcardsAreRefusedAndAnExistingFileNeedsYes)
{
    QFile old(QDir(dir.path()).filePath("old.pas"));
    ASSERT_TRUE(old.open(QIODevice::WriteOnly));
    old.write("keep");
    old.close();
    generate([this](TfrmGenerate* d) {
        d->setDirectory(dir.path());
        d->rgrpGen->setItemIndex(1);
        d->bbtnOk->click();
        EXPECT_EQ(messages.last(), "Invalid file name.");
        EXPECT_TRUE(d->isVisible());
        d->FileListBox1->setCurrentRow(0);
        EXPECT_EQ(d->edFile->text(), "old.pas") << "choosing a listed file";
        messages.answers = {Platform::MsgResult::No};
        d->bbtnOk->click();
        EXPECT_EQ(messages.last(), "File Exists. Overite?");
        EXPECT_TRUE(d->isVisible()) << "No keeps the dialog open";
        messages.answers = {Platform::MsgResult::Yes};
        d->bbtnOk->click();
    });
    EXPECT_EQ(fileBytes("old.pas"), expected);
}

TEST_F(GenerateTest, AFailedWriteSaysSoAndLeavesTheClipboard)
{
    generate([this](TfrmGenerate* d) {
        d->setDirectory(dir.path());
        d->edFile->setText("no-such-folder/consts.pas");
        d->bbtnOk->click();
    });
    EXPECT_EQ(messages.texts(), QStringList({"Unable to Save File."}));
    EXPECT_EQ(QGuiApplication::clipboard()->text(), "before");
}

TEST_F(GenerateTest, CancelWritesNothing)
{
    generate([](TfrmGenerate* d) {
        d->edFile->setText("x.pas");
        d->bbtnCancel->click();
    });
    EXPECT_EQ(QGuiApplication::clipboard()->text(), "before");
    EXPECT_FALSE(QFile::exists(QDir::current().filePath("x.pas")));
}

TEST_F(GenerateTest, TheCppHeaderCompilesAndItsConstantsAreTheIds)
{
    db->exec("insert into ACCESS (ACCESS_NAME) values ('Edit_Users')");
    generate([this](TfrmGenerate* d) {
        d->setDirectory(dir.path());
        d->rgrpGen->setItemIndex(2);
        EXPECT_EQ(d->edFile->text(), "*.h");
        EXPECT_EQ(d->FilterComboBox1->currentText(), "C++ header files (*.h)");
        d->edFile->setText("access_constants.h");
        EXPECT_EQ(d->rgrpGen->itemIndex(), 2);
        d->bbtnOk->click();
    });
    ASSERT_EQ(messages.shown.size(), 1);
    EXPECT_TRUE(messages.last().contains("dsc_Order_Entry/Edit -> dsc_Order_Entry_Edit"));
    EXPECT_TRUE(messages.last().contains("dsc_Edit_Users -> dsc_Edit_Users_4"));

    QFile program(QDir(dir.path()).filePath("use.cpp"));
    ASSERT_TRUE(program.open(QIODevice::WriteOnly));
    program.write("#include \"access_constants.h\"\n#include \"access_constants.h\"\n#include <cstdio>\n"
                  "int main() { std::printf(\"%d %d %d %d\", dsc_Edit_Users, dsc_Nineteen_Characters, "
                  "dsc_Order_Entry_Edit, dsc_Edit_Users_4); }\n");
    program.close();
    EXPECT_EQ(compileAndRun(dir.path()), "1 2 3 4");
}

// Enter in the directory list opens the directory, as a double click does, instead of
// closing the dialog through OK and writing the constants.
TEST(GenerateDialog, EnterInTheDirectoryListOpensTheDirectory)
{
    QTemporaryDir dir;
    ASSERT_TRUE(QDir(dir.path()).mkdir("sub"));
    TfrmGenerate dialog;
    dialog.setDirectory(dir.path());
    dialog.show();
    QListWidget* list = dialog.DirectoryListBox1;
    list->setCurrentRow(list->count() - 1);
    ASSERT_EQ(list->currentItem()->text().trimmed(), "sub");
    QTest::keyClick(list, Qt::Key_Return);
    EXPECT_TRUE(dialog.isVisible()) << "Enter closed the dialog";
    EXPECT_EQ(dialog.directory(), QDir::cleanPath(QDir(dir.path()).filePath("sub")));
}
