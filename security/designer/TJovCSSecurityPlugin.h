#pragma once
// TJovCSSecurityPlugin (unit JovCSSecurityPlugin): the form designer's plugin of the
// component library: puts the security component in the widget box's group "JOV" and
// gives its Alias property the alias editor.

#include <QObject>
#include <QtUiPlugin/QDesignerCustomWidgetInterface>

class TJovCSSecurityPlugin : public QObject, public QDesignerCustomWidgetInterface {
    Q_OBJECT
    Q_PLUGIN_METADATA(IID QDesignerCustomWidgetInterface_iid)
    Q_INTERFACES(QDesignerCustomWidgetInterface)
public:
    explicit TJovCSSecurityPlugin(QObject* parent = nullptr);

    QString name() const override;
    QString group() const override;
    QString toolTip() const override;
    QString whatsThis() const override;
    QString includeFile() const override;
    QIcon icon() const override;
    bool isContainer() const override { return false; }
    // The component in design mode: it shows its icon and never connects.
    QWidget* createWidget(QWidget* parent) override;
    bool isInitialized() const override { return m_initialized; }
    // Registers the Alias editor with the designer.
    void initialize(QDesignerFormEditorInterface* core) override;
    QString domXml() const override;

private:
    bool m_initialized = false;
};
