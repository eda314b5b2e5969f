#include "security/designer/TJovCSSecurityPlugin.h"

#include "security/TJovCSsecureWidget.h"
#include "security/designer/TAliasProperty.h"

#include <QtDesigner/QDesignerFormEditorInterface>
#include <QtDesigner/QExtensionManager>

TJovCSSecurityPlugin::TJovCSSecurityPlugin(QObject* parent) : QObject(parent) { }

QString TJovCSSecurityPlugin::name() const { return QStringLiteral("TJovCSsecureWidget"); }

QString TJovCSSecurityPlugin::group() const { return QStringLiteral("JOV"); }

QString TJovCSSecurityPlugin::toolTip() const
{
    return QStringLiteral("TJovCSsecure: users, groups and access rights");
}

QString TJovCSSecurityPlugin::whatsThis() const
{
    return QStringLiteral("The security component. Set Alias to the security database's alias; the "
                          "application calls component()->Loaded() after setupUi().");
}

QString TJovCSSecurityPlugin::includeFile() const { return QStringLiteral("security/TJovCSsecureWidget.h"); }

QIcon TJovCSSecurityPlugin::icon() const { return TJovCSsecureWidget::icon(); }

QWidget* TJovCSSecurityPlugin::createWidget(QWidget* parent)
{
    auto* widget = new TJovCSsecureWidget(parent);
    widget->setDesigning(true);
    return widget;
}

void TJovCSSecurityPlugin::initialize(QDesignerFormEditorInterface* core)
{
    if (m_initialized)
        return;
    if (QExtensionManager* manager = core ? core->extensionManager() : nullptr)
        manager->registerExtensions(new TAliasPropertyFactory(manager), Q_TYPEID(QDesignerTaskMenuExtension));
    m_initialized = true;
}

QString TJovCSSecurityPlugin::domXml() const
{
    return QStringLiteral(
        "<ui language=\"c++\">\n"
        " <widget class=\"TJovCSsecureWidget\" name=\"JovCSsecure1\">\n"
        "  <property name=\"geometry\"><rect><x>0</x><y>0</y><width>28</width><height>28</height></rect></property>\n"
        " </widget>\n"
        "</ui>\n");
}
