// The about box and its resource gauge: lines and values, the kernel's figures, the
// logo's 24 frames and the box's texts.
#include "desktop/TformAbout.h"
#include "desktop/TSysResource.h"
#include "platform/MemInfo.h"
#include "platform/OsInfo.h"
#include "tests/support/ModalPoller.h"

#include <QFile>
#include <QLabel>
#include <QListWidget>
#include <QPushButton>
#include <QTabWidget>
#include <QTemporaryDir>
#include <QTimer>
#include <gtest/gtest.h>

inline void PrintTo(const QString& text, std::ostream* os) { *os << '"' << text.toStdString() << '"'; }

namespace {

Platform::MemInfo fixedMemory()
{
    Platform::MemInfo m;
    m.totalPhysical = 4096ull * 1024 * 1024;
    m.totalPageFile = 6144ull * 1024 * 1024;
    m.memoryLoad = 37;
    return m;
}

} // namespace

TEST(SysResource, MemInfoComesFromTheKernelsFile)
{
    QTemporaryDir dir;
    QFile file(dir.filePath("meminfo"));
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write("MemTotal:        2048 kB\nMemFree:          100 kB\nMemAvailable:     512 kB\n"
               "SwapTotal:       1024 kB\nHugePages_Total:       0\n");
    file.close();
    const Platform::MemInfo m = Platform::readMemInfo(file.fileName());
    EXPECT_EQ(m.totalPhysical, 2048u * 1024);
    EXPECT_EQ(m.availablePhysical, 512u * 1024);
    EXPECT_EQ(m.totalPageFile, 3072u * 1024);
    EXPECT_EQ(m.memoryLoad, 75);

    const Platform::MemInfo none = Platform::readMemInfo(dir.filePath("missing"));
    EXPECT_EQ(none.totalPhysical, 0u);
    EXPECT_EQ(none.memoryLoad, 0);
    EXPECT_GT(Platform::readMemInfo().totalPhysical, 0u) << "this machine's /proc/meminfo";
}

TEST(SysResource, LinesInTheirOrderWithTheirValues)
{
    TSysResource gauge;
    EXPECT_EQ(gauge.size(), QSize(303, 110));
    EXPECT_EQ(gauge.updateFrequency(), 500);
    EXPECT_TRUE(gauge.timer()->isActive());
    gauge.setMemorySource(fixedMemory);
    // The old Windows and system directories are the system's library folders here,
    // and are named so.
    EXPECT_EQ(gauge.labelText(), "System Resources:  \rPhysical Memory:  \rVirtual Memory:  \r"
                                 "System Directory:  \rLibrary Directory:  \r");
    EXPECT_EQ(gauge.valueText(),
              "63% free\r4194304k\r6291456K\r" + Platform::windowsDirectory() + "\r" + Platform::systemDirectory());

    gauge.setOptions(soShowPMemory | soShowWindowsDir);
    EXPECT_EQ(gauge.labelText(), "Physical Memory:  \rSystem Directory:  \r");
    EXPECT_EQ(gauge.valueText(), "4194304k\r" + Platform::windowsDirectory() + "\r");

    gauge.setTimerEnabled(false);
    EXPECT_FALSE(gauge.timer()->isActive());
}

TEST(SysResource, WithoutOptionsOnlyTheBackgroundShows)
{
    TSysResource gauge;
    gauge.setMemorySource(fixedMemory);
    const QImage full = gauge.grab().toImage();
    gauge.setOptions({});
    EXPECT_TRUE(gauge.labelText().isEmpty());
    const QImage empty = gauge.grab().toImage();
    const QColor background = gauge.palette().color(gauge.backgroundRole());
    int text = 0;
    for (int y = 0; y < empty.height(); ++y)
        for (int x = 0; x < empty.width(); ++x) {
            EXPECT_EQ(empty.pixelColor(x, y), background);
            text += full.pixelColor(x, y) != background;
        }
    EXPECT_GT(text, 100) << "with options the lines are drawn";
}

TEST(AboutBox, LogoCyclesThroughItsTwentyFourFrames)
{
    TformAbout about;
    ASSERT_EQ(about.Bitmaps.size(), 24);
    EXPECT_EQ(about.Bitmaps.first().size(), QSize(110, 72));
    EXPECT_EQ(about.pbxLogo->size(), QSize(110, 72));
    EXPECT_NE(about.Bitmaps.at(0).toImage(), about.Bitmaps.at(1).toImage()) << "frames differ";
    EXPECT_EQ(about.tmAnimation->interval(), 150);
    EXPECT_TRUE(about.tmAnimation->isActive());
    EXPECT_EQ(about.FrameIndex, -1);
    about.tmAnimationTimer();
    EXPECT_EQ(about.FrameIndex, 0) << "the first tick shows BITMAP_1";
    for (int i = 0; i < 23; ++i)
        about.tmAnimationTimer();
    EXPECT_EQ(about.FrameIndex, 23);
    about.tmAnimationTimer();
    EXPECT_EQ(about.FrameIndex, 0) << "wraps after the 24th";
}

TEST(AboutBox, ShowsTheProgramTeamAndTheMachine)
{
    bool seen = false;
    whenModal([&](QWidget* modal) {
        auto* about = qobject_cast<TformAbout*>(modal);
        ASSERT_NE(about, nullptr);
        seen = true;
        EXPECT_EQ(about->windowTitle(), "JOV Application Information");
        EXPECT_EQ(about->lblProgName->text(), "JOV C/S Security Administration");
        EXPECT_EQ(about->lblVersion->text(), "Client Server Version 1.0");
        EXPECT_EQ(about->lbProgrammers->count(), 3);
        EXPECT_EQ(about->lblProgrammers->text(), "Programmers");
        EXPECT_EQ(about->btnOk->text(), "&Ok");
        EXPECT_EQ(about->tnbkInfo->tabText(0), "Development");
        EXPECT_EQ(about->tnbkInfo->tabText(1), "System");
        EXPECT_TRUE(about->SysResource1->labelText().startsWith("Physical Memory:  \rVirtual Memory:  \r"));
        EXPECT_EQ(about->SysResource1->labelText().count('\r'), 4);
        EXPECT_EQ(about->SysResource1->updateFrequency(), 65535);
        EXPECT_EQ(about->SysResource1->tabSpace(), 10);
        EXPECT_TRUE(about->SysResource1->timerEnabled());
        EXPECT_EQ(about->SysResource1->font().pointSizeF(), about->font().pointSizeF()) << "the normal size";
        // The import, on no menu, is found here.
        EXPECT_EQ(about->tnbkInfo->tabText(2), "Command Line");
        EXPECT_TRUE(about->lblCommandLine->text().contains("SecDesk --import DIR"));
        EXPECT_TRUE(about->lblCommandLine->text().contains("jovsecadm import DIR [--apply]"));
        about->btnOk->click();
    });
    ShowAbout(nullptr);
    EXPECT_TRUE(seen);
    EXPECT_EQ(formAbout, nullptr);
}
