#pragma once
// TJovCSsecureWidget: the security component as a form designer places it on a
// form. While a form is designed it is a small icon and its component is in design
// mode, so it never connects; in the running application it stays hidden and owns
// the component, to which it hands its stored properties.
//
//     // after setupUi() has set Alias, Password and Options:
//     ui.JovCSsecure1->component()->Loaded();
//     if (ui.JovCSsecure1->component()->TestAccess(12)) ...

#include "security/TJovCSsecure.h"

#include <QIcon>
#include <QWidget>

class TJovCSsecureWidget : public QWidget {
    Q_OBJECT
    Q_PROPERTY(QString Alias READ Alias WRITE setAlias)
    Q_PROPERTY(QString Password READ Password WRITE setPassword)
    Q_PROPERTY(int Options READ Options WRITE setOptions)

public:
    explicit TJovCSsecureWidget(QWidget* parent = nullptr);

    TJovCSsecure* component() const { return m_component; }

    QString Alias() const { return m_component->Alias(); }
    void setAlias(const QString& alias) { m_component->setAlias(alias); }
    QString Password() const { return m_component->Password(); }
    void setPassword(const QString& password) { m_component->setPassword(password); }
    // The option bits (1 soAutoValidate, 2 soCaseSensitive, 4 soShowUI,
    // 8 soNetwareSupport, 16 soWinNetSupport).
    int Options() const { return int(m_component->Options().toInt()); }
    void setOptions(int bits) { m_component->setOptions(TSecurityOptions::fromInt(quint8(bits & 0x1f))); }

    bool designing() const { return m_component->designing(); }
    // Design mode shows the icon; otherwise the widget stays hidden.
    void setDesigning(bool on);

    QSize sizeHint() const override { return QSize(28, 28); }
    // The component's icon: a shield with a keyhole.
    static QIcon icon();

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    TJovCSsecure* m_component;
};
