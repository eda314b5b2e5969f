#pragma once
// TAliasProperty: the form designer's editor for the Alias property of the security
// component. Its task menu (right click on the component) offers the engine's alias
// names in the engine's order; "Other Alias..." takes any typed text, also a name
// that is not an alias yet. It edits Alias and nothing else.

#include <QObject>
#include <QtDesigner/QDesignerTaskMenuExtension>
#include <QtDesigner/QExtensionFactory>

#include <functional>

class QAction;
class QMenu;
class TJovCSsecureWidget;

class TAliasProperty : public QObject, public QDesignerTaskMenuExtension {
    Q_OBJECT
    Q_INTERFACES(QDesignerTaskMenuExtension)
public:
    TAliasProperty(TJovCSsecureWidget* widget, QObject* parent);
    ~TAliasProperty() override;

    // Calls proc once for each alias name, in the order the engine gives them.
    void GetValues(const std::function<void(const QString&)>& proc) const;
    Q_INVOKABLE QString GetValue() const;
    // Any text is accepted. Inside a form window the change goes through the form,
    // so it can be undone and the form is marked changed.
    Q_INVOKABLE void SetValue(const QString& value);

    // The "Alias" action with a submenu of the names, built afresh each time.
    QList<QAction*> taskActions() const override;
    QAction* preferredEditAction() const override;

private:
    void otherAlias();

    TJovCSsecureWidget* m_widget;
    QAction* m_aliasAction;
    QMenu* m_menu;
};

// Gives the security component, and only it, the Alias editor.
class TAliasPropertyFactory : public QExtensionFactory {
    Q_OBJECT
public:
    explicit TAliasPropertyFactory(QExtensionManager* parent);

protected:
    QObject* createExtension(QObject* object, const QString& iid, QObject* parent) const override;
};
