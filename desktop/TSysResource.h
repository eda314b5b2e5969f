#pragma once
// TSysResource (unit Sysresrc): a small gauge of the machine: memory figures and the
// two system directories, in a label column and a value column, refreshed by its own
// timer.

#include <QFlags>
#include <QString>
#include <QWidget>

#include <functional>

class QTimer;
namespace Platform {
struct MemInfo;
}

enum TSysResOption {
    soShowSysRes = 0x01,
    soShowVMemory = 0x02,
    soShowPMemory = 0x04,
    soShowSystemDir = 0x08,
    soShowWindowsDir = 0x10,
};
Q_DECLARE_FLAGS(TSysResOptions, TSysResOption)
Q_DECLARE_OPERATORS_FOR_FLAGS(TSysResOptions)

class TSysResource : public QWidget {
    Q_OBJECT
    Q_PROPERTY(int TabSpace READ tabSpace WRITE setTabSpace)
    Q_PROPERTY(bool Enabled READ timerEnabled WRITE setTimerEnabled)
    Q_PROPERTY(quint16 UpdateFrequency READ updateFrequency WRITE setUpdateFrequency)
public:
    explicit TSysResource(QWidget* parent = nullptr);

    TSysResOptions options() const { return m_options; }
    void setOptions(TSysResOptions options);
    // Distance of the value column from the label column, in widths of "W".
    int tabSpace() const { return m_tabSpace; }
    void setTabSpace(int space);
    // Whether the refresh timer runs.
    bool timerEnabled() const { return m_enabled; }
    void setTimerEnabled(bool on);
    // Refresh interval in milliseconds.
    quint16 updateFrequency() const { return m_frequency; }
    void setUpdateFrequency(quint16 ms);
    QTimer* timer() const { return m_timer; }

    // Reads the figures again and repaints; the timer's handler.
    void UpdateInfo();
    // The two columns, lines ended by carriage returns.
    QString labelText() const { return m_labels; }
    QString valueText() const { return m_values; }

    // Where the figures come from (tests give their own).
    using MemorySource = std::function<Platform::MemInfo()>;
    void setMemorySource(MemorySource source);

    static constexpr int TextLimit = 255;

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    void restartTimer();

    TSysResOptions m_options =
        TSysResOptions(soShowSysRes | soShowVMemory | soShowPMemory | soShowSystemDir | soShowWindowsDir);
    int m_tabSpace = 10;
    bool m_enabled = true;
    quint16 m_frequency = 500;
    QTimer* m_timer = nullptr;
    QString m_labels;
    QString m_values;
    MemorySource m_memory;
};
