#include "desktop/TSysResource.h"

#include "platform/MemInfo.h"
#include "platform/OsInfo.h"

#include <QPainter>
#include <QTimer>

#include <algorithm>

namespace {

// The directory lines hold what a 145-character buffer held.
QString directory(const QString& path) { return path.left(144); }

} // namespace

TSysResource::TSysResource(QWidget* parent) : QWidget(parent), m_memory([] { return Platform::readMemInfo(); })
{
    setObjectName(QStringLiteral("SysResource1"));
    resize(303, 110);
    // The window's own font and size, as the texts round it.
    setAutoFillBackground(false);
    m_timer = new QTimer(this);
    connect(m_timer, &QTimer::timeout, this, &TSysResource::UpdateInfo);
    restartTimer();
    UpdateInfo();
}

void TSysResource::setOptions(TSysResOptions options)
{
    m_options = options;
    UpdateInfo();
}

void TSysResource::setTabSpace(int space)
{
    m_tabSpace = space;
    update();
}

void TSysResource::setTimerEnabled(bool on)
{
    m_enabled = on;
    restartTimer();
}

void TSysResource::setUpdateFrequency(quint16 ms)
{
    m_frequency = ms;
    restartTimer();
}

void TSysResource::setMemorySource(MemorySource source)
{
    m_memory = std::move(source);
    UpdateInfo();
}

void TSysResource::restartTimer()
{
    m_timer->setInterval(m_frequency);
    if (m_enabled)
        m_timer->start();
    else
        m_timer->stop();
}

void TSysResource::UpdateInfo()
{
    const Platform::MemInfo memory = m_memory();
    const QChar cr = QLatin1Char('\r');
    QString labels;
    QString values;
    if (m_options & soShowSysRes) {
        labels += QStringLiteral("System Resources:  ") + cr;
        values += QString::number(100 - memory.memoryLoad) + QStringLiteral("% free") + cr;
    }
    if (m_options & soShowPMemory) {
        labels += QStringLiteral("Physical Memory:  ") + cr;
        values += QString::number(memory.totalPhysical / 1024) + QStringLiteral("k") + cr;
    }
    if (m_options & soShowVMemory) {
        labels += QStringLiteral("Virtual Memory:  ") + cr;
        values += QString::number(memory.totalPageFile / 1024) + QStringLiteral("K") + cr;
    }
    // The old "Windows" and "system" directories stand for the system's library
    // folders here (/usr/lib and the folder of this architecture's libraries), and
    // are named for what they are.
    if (m_options & soShowWindowsDir) {
        labels += QStringLiteral("System Directory:  ") + cr;
        values += directory(Platform::windowsDirectory()) + cr;
    }
    if (m_options & soShowSystemDir) {
        labels += QStringLiteral("Library Directory:  ") + cr;
        values += directory(Platform::systemDirectory());
    }
    m_labels = labels.left(TextLimit);
    m_values = values.left(TextLimit);
    update();
}

void TSysResource::paintEvent(QPaintEvent*)
{
    QPainter p(this);
    p.fillRect(rect(), palette().color(backgroundRole()));
    p.setFont(font());
    p.setPen(palette().color(QPalette::WindowText));
    const QFontMetrics fm(font());
    const int w = fm.horizontalAdvance(QLatin1Char('W'));
    QRect area(w, fm.height(), width() - w, height() - fm.height());
    const auto lines = [](QString text) { return text.replace(QLatin1Char('\r'), QLatin1Char('\n')); };
    p.drawText(area, Qt::AlignLeft | Qt::AlignTop | Qt::TextExpandTabs, lines(m_labels));
    // The values stand TabSpace widths of "W" to the right, and never on the labels.
    const QRect labelsBox = fm.boundingRect(area, Qt::AlignLeft | Qt::AlignTop | Qt::TextExpandTabs, lines(m_labels));
    area.setLeft(area.left() + std::max(w * m_tabSpace, labelsBox.width()));
    p.drawText(area, Qt::AlignLeft | Qt::AlignTop | Qt::TextExpandTabs, lines(m_values));
}
