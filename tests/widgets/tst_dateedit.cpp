// The date edit: regional settings and the date pattern language, part-by-part typing,
// "+" and "-", leaving the field, the part setters and the calendar button.
#include "platform/DateTimeValue.h"
#include "platform/RegionalSettings.h"
#include "tests/support/MessageRecorder.h"
#include "tests/support/ModalPoller.h"
#include "widgets/TfrmCalPop.h"
#include "widgets/TDateEdit.h"

#include <QApplication>
#include <QDialog>
#include <QFocusEvent>
#include <QPushButton>
#include <QMouseEvent>
#include <QSignalSpy>
#include <QTest>
#include <QVBoxLayout>
#include <gtest/gtest.h>

using namespace Platform;

inline void PrintTo(const QString& text, std::ostream* os) { *os << '"' << text.toStdString() << '"'; }

TEST(RegionalSettings, ComeFromTheLocaleWithFourDigitYearsAndDefaultsForNone)
{
    const RegionalSettings none = regionalSettingsFor(QLocale::c());
    EXPECT_EQ(none.dateSeparator, QLatin1Char('/'));
    EXPECT_EQ(none.shortDateFormat, "M/d/yyyy");

    const RegionalSettings us = regionalSettingsFor(QLocale(QLocale::English, QLocale::UnitedStates));
    EXPECT_EQ(us.dateSeparator, QLatin1Char('/'));
    EXPECT_FALSE(us.shortDateFormat.contains("yyyyy"));
    EXPECT_TRUE(us.shortDateFormat.contains("yyyy")) << us.shortDateFormat.toStdString();

    const RegionalSettings german = regionalSettingsFor(QLocale(QLocale::German, QLocale::Germany));
    EXPECT_EQ(german.dateSeparator, QLatin1Char('.'));
    EXPECT_EQ(formatDate(german.shortDateFormat, QDate(2001, 7, 5), german), "05.07.2001");
    EXPECT_EQ(parseShortDate("5.7.2001", german), QDate(2001, 7, 5)) << "day first in a German format";
}

TEST(RegionalSettings, PatternLanguage)
{
    const RegionalSettings c;
    const QDate d(1999, 1, 31);
    EXPECT_EQ(formatDate("mmmm d, yyyy", d, c), "January 31, 1999");
    EXPECT_EQ(formatDate("M/d/yyyy", d, c), "1/31/1999");
    EXPECT_EQ(formatDate("ddddd", d, c), "1/31/1999");
    EXPECT_EQ(formatDate("dd-mmm-yy", QDate(2005, 3, 4), c), "04-Mar-2005") << "years always four digits";
    EXPECT_EQ(formatDate("dddd 'd' mm", QDate(2005, 3, 4), c), "Friday d 03");
    RegionalSettings dashed;
    dashed.dateSeparator = QLatin1Char('-');
    EXPECT_EQ(formatDate("m/d/yyyy", d, dashed), "1-31-1999") << "the slash stands for the separator";
    EXPECT_EQ(formatDate("m/d/yyyy", QDate(), c), "");
}

TEST(RegionalSettings, ReadingTypedDates)
{
    const RegionalSettings c;
    const int thisYear = QDate::currentDate().year();
    EXPECT_EQ(parseShortDate(" 1/31/1999 ", c), QDate(1999, 1, 31));
    EXPECT_EQ(parseShortDate("2/29/2000", c), QDate(2000, 2, 29));
    EXPECT_EQ(parseShortDate("3/4", c), QDate(thisYear, 3, 4)) << "two parts take this year";
    EXPECT_EQ(parseShortDate(QStringLiteral("3/4/%1").arg(thisYear % 100), c), QDate(thisYear, 3, 4));
    EXPECT_EQ(parseShortDate(QStringLiteral("3/4/%1").arg((thisYear + 60) % 100), c)->year(), thisYear - 40)
        << "two-digit years fall within 50 years of today";
    for (const char* bad : {"", "2/29/1999", "13/1/2000", "1/32/2000", "a/b/c", "1/2/3/4", "1-2-2000", "1//2000",
                            "-1/2/2000", "1/2/20000"})
        EXPECT_FALSE(parseShortDate(bad, c)) << bad;
}

TEST(DateTimeValue, DaysSinceTheOldEpochWithTheTimeAsFraction)
{
    EXPECT_EQ(dateValue(QDate(1899, 12, 30)), 0.0);
    EXPECT_EQ(dateValue(QDate(1998, 4, 6)), 35891.0);
    EXPECT_EQ(dateTimeValue(QDateTime(QDate(1900, 1, 1), QTime(18, 0))), 2.75);
    EXPECT_EQ(toDateTime(35891.5), QDateTime(QDate(1998, 4, 6), QTime(12, 0)));
    EXPECT_EQ(toDate(35891.99), QDate(1998, 4, 6));
}

class DateEditTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        setRegionalSettings(RegionalSettings {});
        window.resize(300, 100);
        auto* layout = new QVBoxLayout(&window);
        edit = new TDateEdit(&window);
        other = new QLineEdit(&window);
        layout->addWidget(edit);
        layout->addWidget(other);
    }
    void TearDown() override
    {
        ++modalPollerGeneration();
        window.close();
        setRegionalSettings(std::nullopt);
    }
    void type(const QString& keys) { QTest::keyClicks(edit, keys); }
    void leave()
    {
        QFocusEvent out(QEvent::FocusOut, Qt::TabFocusReason);
        QCoreApplication::sendEvent(edit, &out);
    }
    void releaseMouseAt(int offset)
    {
        edit->setCursorPosition(offset);
        QMouseEvent release(QEvent::MouseButtonRelease, QPointF(2, 2), edit->mapToGlobal(QPointF(2, 2)), Qt::LeftButton,
                            Qt::NoButton, Qt::NoModifier);
        QCoreApplication::sendEvent(edit, &release);
    }

    QWidget window;
    TDateEdit* edit = nullptr;
    QLineEdit* other = nullptr;
};

TEST_F(DateEditTest, ShownWithoutADateItShowsTodayWithTheTimeOfDay)
{
    QSignalSpy changes(edit, &TDateEdit::OnDateChange);
    EXPECT_EQ(edit->Date(), 0.0);
    EXPECT_EQ(edit->text(), "");
    window.show();
    EXPECT_EQ(edit->date(), QDate::currentDate());
    EXPECT_NEAR(edit->Date(), nowValue(), 1.0 / 24 / 60) << "now, with the time of day";
    EXPECT_EQ(edit->text(), formatDate("M/d/yyyy", QDate::currentDate()));
    EXPECT_EQ(changes.count(), 1);
    EXPECT_TRUE(edit->isModified());

    // The button is a square as high as the edit at its right end.
    const QRect button = edit->button()->geometry();
    EXPECT_EQ(button.width(), edit->height());
    EXPECT_EQ(button.height(), edit->height());
    EXPECT_EQ(button.right(), edit->width() - 1);
}

TEST_F(DateEditTest, SettingDateShowsItAndFiresOnlyOnChange)
{
    QSignalSpy changes(edit, &TDateEdit::OnDateChange);
    edit->setDate(QDate(1999, 1, 31));
    EXPECT_EQ(edit->text(), "1/31/1999");
    edit->setDate(QDate(1999, 1, 31));
    EXPECT_EQ(changes.count(), 1);
    edit->setDate(0.0);
    EXPECT_EQ(edit->text(), "");
    EXPECT_EQ(changes.count(), 2);
}

TEST_F(DateEditTest, PlusAndMinusStepByADay)
{
    window.show();
    edit->setDate(0.0);
    type("+");
    EXPECT_EQ(edit->date(), QDate::currentDate()) << "+ on an empty edit sets now";
    edit->setText(QString());
    type("-");
    EXPECT_EQ(edit->date(), QDate::currentDate());

    edit->setDate(QDate(1999, 1, 31));
    type("+");
    EXPECT_EQ(edit->date(), QDate(1999, 2, 1));
    EXPECT_EQ(edit->text(), "2/1/1999");
    type("--");
    EXPECT_EQ(edit->date(), QDate(1999, 1, 30));
    EXPECT_FALSE(edit->text().contains('+') || edit->text().contains('-')) << "both keys are consumed";
}

TEST_F(DateEditTest, TypingPartByPart)
{
    window.show();
    edit->setDate(QDate(1999, 1, 31));
    edit->setFocus();
    QFocusEvent in(QEvent::FocusIn, Qt::TabFocusReason);
    QCoreApplication::sendEvent(edit, &in);
    EXPECT_EQ(edit->currentPart(), 1);
    EXPECT_EQ(edit->selectedText(), "1");
    EXPECT_EQ(edit->firstSeparator(), 2);
    EXPECT_EQ(edit->secondSeparator(), 5);

    type("3x ");
    EXPECT_EQ(edit->text(), "3/31/1999") << "digits replace the part, other characters are discarded";
    type("/");
    EXPECT_EQ(edit->currentPart(), 2);
    EXPECT_EQ(edit->selectedText(), "31");
    type("7/");
    EXPECT_EQ(edit->currentPart(), 3);
    EXPECT_EQ(edit->selectedText(), "1999");
    type("2004/");
    EXPECT_EQ(edit->text(), "3/7/2004") << "a separator typed in the year does nothing";
    EXPECT_EQ(edit->currentPart(), 3);
    QTest::keyClick(edit, Qt::Key_Backspace);
    EXPECT_EQ(edit->text(), "3/7/200");
}

TEST_F(DateEditTest, AClickSelectsThePartUnderTheCaret)
{
    edit->setDate(QDate(2004, 12, 25));
    ASSERT_EQ(edit->text(), "12/25/2004");
    releaseMouseAt(1);
    EXPECT_EQ(edit->currentPart(), 1);
    EXPECT_EQ(edit->selectedText(), "12");
    releaseMouseAt(3);
    EXPECT_EQ(edit->currentPart(), 1) << "up to the first separator's 1-based position";
    releaseMouseAt(4);
    EXPECT_EQ(edit->currentPart(), 2);
    EXPECT_EQ(edit->selectedText(), "25");
    releaseMouseAt(6);
    EXPECT_EQ(edit->currentPart(), 2) << "right after the second separator's place";
    releaseMouseAt(7);
    EXPECT_EQ(edit->currentPart(), 3);
    EXPECT_EQ(edit->selectedText(), "2004");
}

TEST_F(DateEditTest, LeavingReadsTheTextOrRefusesWhatIsNoDate)
{
    window.show();
    edit->setDate(dateTimeValue(QDateTime(QDate(1999, 1, 31), QTime(10, 30))));
    edit->setText("2/29/2000");
    leave();
    EXPECT_EQ(edit->Date(), dateValue(QDate(2000, 2, 29))) << "read as a date, the time of day is lost";

    // Text that is no date is refused with a message; the date stays as it was.
    MessageRecorder messages;
    edit->setText("2/30/2000");
    leave();
    EXPECT_EQ(edit->date(), QDate(2000, 2, 29));
    EXPECT_EQ(edit->text(), "2/29/2000");
    ASSERT_EQ(messages.shown.size(), 1);
    EXPECT_TRUE(messages.last().contains("\"2/30/2000\" is not a valid date")) << messages.last().toStdString();

    // Enter on such text does not reach the dialog's default button.
    QDialog dialog;
    auto* inDialog = new TDateEdit(&dialog);
    auto* ok = new QPushButton("OK", &dialog);
    ok->setDefault(true);
    QObject::connect(ok, &QPushButton::clicked, &dialog, &QDialog::accept);
    dialog.show();
    inDialog->setDate(QDate(2001, 5, 6));
    inDialog->setText("13/45/2001");
    QTest::keyClick(inDialog, Qt::Key_Return);
    EXPECT_EQ(dialog.result(), 0);
    EXPECT_EQ(inDialog->date(), QDate(2001, 5, 6));
}

TEST_F(DateEditTest, TypingADateReplacesTheTextAsUsersExpect)
{
    window.show();
    QApplication::setActiveWindow(&window);
    edit->setDate(QDate(2026, 4, 6));
    // Two clicks on the first part: the second lands on the selection.
    QTest::mouseClick(edit, Qt::LeftButton, {}, QPoint(3, edit->height() / 2));
    QTest::mouseClick(edit, Qt::LeftButton, {}, QPoint(3, edit->height() / 2));
    type("11/30/2026");
    EXPECT_EQ(edit->text(), "11/30/2026");

    // Everything selected and a whole date typed over it.
    edit->selectAll();
    type("12/24/2025");
    EXPECT_EQ(edit->text(), "12/24/2025");
    leave();
    EXPECT_EQ(edit->date(), QDate(2025, 12, 24));
}

TEST_F(DateEditTest, PartSettersRebuildTheDateOrRefuseAnImpossibleOne)
{
    QSignalSpy changes(edit, &TDateEdit::OnDateChange);
    edit->setYear(2000);
    edit->setDay(3);
    EXPECT_EQ(edit->Date(), 0.0) << "no effect before there is a date";
    EXPECT_EQ(changes.count(), 0);

    edit->setDate(QDate(2000, 2, 29));
    EXPECT_EQ(edit->Year(), 2000);
    EXPECT_EQ(edit->Month(), 2);
    EXPECT_EQ(edit->Day(), 29);
    EXPECT_THROW(edit->setYear(2001), EConvertError);
    EXPECT_EQ(edit->date(), QDate(2000, 2, 29));
    EXPECT_THROW(edit->setMonth(13), EConvertError);
    edit->setMonth(3);
    EXPECT_EQ(edit->date(), QDate(2000, 3, 29));
    edit->setDay(29);
    EXPECT_EQ(changes.count(), 2) << "an equal part changes nothing";
    edit->setYear(1999);
    EXPECT_EQ(edit->text(), "3/29/1999");

    edit->ValidDates << dateValue(QDate(1999, 3, 29));
    EXPECT_TRUE(edit->IsValidDate(dateValue(QDate(1999, 3, 29))));
    EXPECT_FALSE(edit->IsValidDate(dateValue(QDate(1999, 3, 29)) + 0.5)) << "exact values only";
}

TEST_F(DateEditTest, TheButtonRunsTheCalendarBeforeOtherClickHandlers)
{
    window.show();
    edit->setDate(QDate(1999, 1, 31));
    QDate seenByLaterHandler;
    QObject::connect(edit->button(), &QToolButton::clicked, edit, [&] { seenByLaterHandler = edit->date(); });

    whenModal([](QWidget* modal) {
        ASSERT_EQ(modal, frmCalPop);
        QTest::keyClick(modal, Qt::Key_Right);
        QTest::keyClick(modal, Qt::Key_Return);
    });
    edit->button()->click();
    EXPECT_EQ(edit->date(), QDate(1999, 2, 1));
    EXPECT_EQ(seenByLaterHandler, QDate(1999, 2, 1));
    EXPECT_EQ(frmCalPop, nullptr) << "the popup lives only during the click";

    whenModal([](QWidget* modal) {
        QTest::keyClick(modal, Qt::Key_Down);
        QTest::keyClick(modal, Qt::Key_Escape);
    });
    edit->button()->click();
    EXPECT_EQ(edit->date(), QDate(1999, 2, 1)) << "Escape leaves the date";
}
