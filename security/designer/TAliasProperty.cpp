#include "security/designer/TAliasProperty.h"

#include "database/TAliases.h"
#include "security/TJovCSsecureWidget.h"

#include <QAction>
#include <QInputDialog>
#include <QMenu>
#include <QtDesigner/QDesignerFormWindowCursorInterface>
#include <QtDesigner/QDesignerFormWindowInterface>

TAliasProperty::TAliasProperty(TJovCSsecureWidget* widget, QObject* parent)
    : QObject(parent), m_widget(widget), m_aliasAction(new QAction(QStringLiteral("Alias"), this)), m_menu(new QMenu)
{
    m_aliasAction->setObjectName(QStringLiteral("AliasAction"));
    m_aliasAction->setMenu(m_menu);
}

TAliasProperty::~TAliasProperty() { delete m_menu; }

void TAliasProperty::GetValues(const std::function<void(const QString&)>& proc) const
{
    const QStringList names = TAliases::aliasNames();
    for (const QString& name : names)
        proc(name);
}

QString TAliasProperty::GetValue() const { return m_widget->Alias(); }

void TAliasProperty::SetValue(const QString& value)
{
    if (QDesignerFormWindowInterface* form = QDesignerFormWindowInterface::findFormWindow(m_widget))
        form->cursor()->setWidgetProperty(m_widget, QStringLiteral("Alias"), value);
    else
        m_widget->setAlias(value);
}

QList<QAction*> TAliasProperty::taskActions() const
{
    m_menu->clear();
    const QString current = GetValue();
    GetValues([this, &current](const QString& name) {
        QAction* action = m_menu->addAction(name);
        action->setCheckable(true);
        action->setChecked(name == current);
        connect(action, &QAction::triggered, this, [this, name] { const_cast<TAliasProperty*>(this)->SetValue(name); });
    });
    if (!m_menu->isEmpty())
        m_menu->addSeparator();
    QAction* other = m_menu->addAction(QStringLiteral("Other Alias..."));
    other->setObjectName(QStringLiteral("OtherAliasAction"));
    connect(other, &QAction::triggered, this, [this] { const_cast<TAliasProperty*>(this)->otherAlias(); });
    return {m_aliasAction};
}

QAction* TAliasProperty::preferredEditAction() const { return nullptr; }

void TAliasProperty::otherAlias()
{
    QStringList names;
    GetValues([&names](const QString& name) { names << name; });
    const QString current = GetValue();
    int index = names.indexOf(current);
    if (index < 0) {
        names.prepend(current);
        index = 0;
    }
    bool ok = false;
    const QString value = QInputDialog::getItem(m_widget->window(), QStringLiteral("Alias"),
                                                QStringLiteral("Database alias:"), names, index, true, &ok);
    if (ok)
        SetValue(value);
}

TAliasPropertyFactory::TAliasPropertyFactory(QExtensionManager* parent) : QExtensionFactory(parent) { }

QObject* TAliasPropertyFactory::createExtension(QObject* object, const QString& iid, QObject* parent) const
{
    if (iid != QLatin1String(Q_TYPEID(QDesignerTaskMenuExtension)))
        return nullptr;
    if (auto* widget = qobject_cast<TJovCSsecureWidget*>(object))
        return new TAliasProperty(widget, parent);
    return nullptr;
}
