// The Qt Designer plugin, loaded as Designer loads it: the component in group "JOV",
// in design mode, hidden at run time, and the Alias editor that lists the engine's
// aliases and takes any text.
#include "database/TAliases.h"
#include "database/TDatabase.h"
#include "security/TJovCSsecureWidget.h"

#include <QAction>
#include <QApplication>
#include <QLineEdit>
#include <QMenu>
#include <QPluginLoader>
#include <QTemporaryDir>
#include <QtDesigner/QDesignerFormEditorInterface>
#include <QtDesigner/QDesignerTaskMenuExtension>
#include <QtDesigner/QExtensionManager>
#include <QtUiPlugin/QDesignerCustomWidgetInterface>
#include <gtest/gtest.h>

namespace {
QString g_pluginPath;

// The part of Designer's core a plugin talks to: its extension manager.
class DesignerCore : public QDesignerFormEditorInterface {
public:
    DesignerCore() { setExtensionManager(new QExtensionManager(this)); }
};

class DesignerPlugin : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(loader.load()) << loader.errorString().toStdString();
        plugin = qobject_cast<QDesignerCustomWidgetInterface*>(loader.instance());
        ASSERT_NE(plugin, nullptr);
        for (const QString& alias : TAliases::aliasNames())
            TAliases::deleteAlias(alias);
    }
    void TearDown() override
    {
        for (QWidget* w : QApplication::topLevelWidgets())
            w->close();
    }

    QDesignerTaskMenuExtension* taskMenu(QWidget* widget)
    {
        return qt_extension<QDesignerTaskMenuExtension*>(core.extensionManager(), widget);
    }
    // The names the Alias submenu offers, without its "Other Alias..." entry.
    QStringList offeredNames(QWidget* widget)
    {
        const QList<QAction*> actions = taskMenu(widget)->taskActions();
        EXPECT_EQ(actions.size(), 1);
        EXPECT_EQ(actions.first()->text(), "Alias");
        QStringList names;
        for (QAction* a : actions.first()->menu()->actions())
            if (!a->isSeparator() && a->text() != "Other Alias...")
                names << a->text();
        return names;
    }

    QPluginLoader loader {g_pluginPath};
    QDesignerCustomWidgetInterface* plugin = nullptr;
    DesignerCore core;
};

TEST_F(DesignerPlugin, PutsTheComponentInGroupJovAsAnIconInDesignMode)
{
    EXPECT_EQ(plugin->group(), "JOV");
    EXPECT_EQ(plugin->name(), "TJovCSsecureWidget");
    EXPECT_EQ(plugin->includeFile(), "security/TJovCSsecureWidget.h");
    EXPECT_FALSE(plugin->isContainer());
    EXPECT_FALSE(plugin->icon().isNull());
    EXPECT_TRUE(plugin->domXml().contains("class=\"TJovCSsecureWidget\""));

    QWidget form;
    QWidget* widget = plugin->createWidget(&form);
    ASSERT_NE(widget, nullptr);
    EXPECT_STREQ(widget->metaObject()->className(), "TJovCSsecureWidget");
    auto* component = qobject_cast<TJovCSsecureWidget*>(widget);
    ASSERT_NE(component, nullptr);
    form.show();
    EXPECT_TRUE(widget->isVisible());
    EXPECT_EQ(widget->size(), QSize(28, 28));

    // In the designer the component never connects, whatever its alias.
    widget->setProperty("Alias", "NO_SUCH_ALIAS");
    EXPECT_TRUE(component->component()->designing());
    component->component()->Loaded();
    EXPECT_FALSE(component->component()->database()->connected());
    EXPECT_FALSE(TJovCSsecure::TerminationRequested());

    // Built by the application's form instead, it stays out of sight.
    TJovCSsecureWidget atRunTime(&form);
    EXPECT_FALSE(atRunTime.isVisible());
    EXPECT_FALSE(atRunTime.component()->designing());
}

TEST_F(DesignerPlugin, AliasEditorOffersTheEngineAliasesAndTakesAnyText)
{
    TAliases::addAlias("ZETA_SEC", "INTRBASE", {"SERVER NAME=/tmp/z.gdb"});
    TAliases::addAlias("ALPHA_SEC", "INTRBASE", {"SERVER NAME=/tmp/a.gdb"});
    TAliases::addAlias("Mid_Sec", "INTRBASE", {"SERVER NAME=/tmp/m.gdb"});
    plugin->initialize(&core);
    EXPECT_TRUE(plugin->isInitialized());

    QWidget form;
    QWidget* widget = plugin->createWidget(&form);
    widget->setProperty("Password", "masterkey");
    ASSERT_NE(taskMenu(widget), nullptr);
    EXPECT_EQ(offeredNames(widget), TAliases::aliasNames());
    EXPECT_EQ(offeredNames(widget).size(), 3);

    // Choosing a name sets Alias and nothing else.
    for (QAction* a : taskMenu(widget)->taskActions().first()->menu()->actions())
        if (a->text() == "Mid_Sec")
            a->trigger();
    EXPECT_EQ(widget->property("Alias").toString(), "Mid_Sec");
    EXPECT_EQ(widget->property("Password").toString(), "masterkey");

    // Typed text is taken as it is, also when no alias has that name or none exists.
    for (const QString& alias : TAliases::aliasNames())
        TAliases::deleteAlias(alias);
    EXPECT_TRUE(offeredNames(widget).isEmpty());
    auto* editor = dynamic_cast<QObject*>(taskMenu(widget));
    ASSERT_NE(editor, nullptr);
    ASSERT_TRUE(QMetaObject::invokeMethod(editor, "SetValue", Q_ARG(QString, "NOT_YET_AN_ALIAS")));
    EXPECT_EQ(widget->property("Alias").toString(), "NOT_YET_AN_ALIAS");
    QString value;
    ASSERT_TRUE(QMetaObject::invokeMethod(editor, "GetValue", Q_RETURN_ARG(QString, value)));
    EXPECT_EQ(value, "NOT_YET_AN_ALIAS");

    // Other widgets get no Alias editor.
    QLineEdit other(&form);
    EXPECT_EQ(taskMenu(&other), nullptr);
}
} // namespace

int main(int argc, char** argv)
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QTemporaryDir config;
    qputenv("JOVSEC_CONFIG", (config.path() + "/aliases.ini").toLocal8Bit());
    QApplication app(argc, argv);
    ::testing::InitGoogleTest(&argc, argv);
    if (argc < 2) {
        std::fprintf(stderr, "usage: tst_designer <plugin file>\n");
        return 2;
    }
    g_pluginPath = QString::fromLocal8Bit(argv[1]);
    return RUN_ALL_TESTS();
}
