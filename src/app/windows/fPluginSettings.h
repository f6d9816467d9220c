// The preferences dialog: general settings, the external map plug-ins, the registered readers and
// writers, and each converter's own options (written at once).
#pragma once

#include "app/windowbase/uTarvellForm.h"

class QAction;
class QButtonGroup;
class QCheckBox;
class QComboBox;
class QGroupBox;
class QLabel;
class QPushButton;
class QRadioButton;
class QScrollArea;
class QTabWidget;
class QTreeWidget;
class TdmMain;
class TPluginBase;

class TfmPluginSettings : public TTarvellModalForm {
    Q_OBJECT
public:
    // data: the data module with the plug-in list and the list pictures.
    explicit TfmPluginSettings(TdmMain& data, QWidget* owner = nullptr);

    // The application identifiers behind the four coVersion items, in item order.
    static const QStringList& MapPointVersions();

    // Fills the lists and controls from the settings and registries (each show).
    void FillPages();
    void actSetDefaultExecute();
    // The parameter dialog of the selected plug-in, modally.
    void actSettingsExecute();
    void UpdateActions();
    // The option editors of the converter in registry row (importer or exporter) in its page's box.
    void BuildOptionEditors(bool importer, int row);
    // The inner widget of a page's option box.
    QWidget* OptionsPanel(bool importer) const;

public slots:
    // Every way of closing writes the general settings.
    void done(int result) override;

protected:
    void showEvent(QShowEvent* event) override;

private:
    friend class TfmPluginSettingsTestAccess;

    QTabWidget* PageControl1 = nullptr;
    QComboBox* coVersion = nullptr;
    QGroupBox* rgPrecision = nullptr;
    QRadioButton* rbPrecision5 = nullptr;
    QRadioButton* rbPrecision6 = nullptr;
    QCheckBox* cbShowStartupScreen = nullptr;
    QTreeWidget* ListView1 = nullptr;
    QCheckBox* cbAutoArrange = nullptr;
    QAction* actSettings = nullptr;
    QAction* actSetDefault = nullptr;
    QPushButton* buSettings = nullptr;
    QPushButton* buSetDefault = nullptr;
    QTreeWidget* lvImport = nullptr;
    QTreeWidget* lvExport = nullptr;
    QScrollArea* sbImportOptions = nullptr;
    QScrollArea* sbExportOptions = nullptr;
    QPushButton* Button1 = nullptr;

    void Retranslate() override;
    QWidget* CreateGeneralPage();
    QWidget* CreatePluginsPage();
    QWidget* CreateConverterPage(bool importer);
    void FillConverterList(bool importer);
    void ConverterSelectionChanged(bool importer);
    void ClearOptionEditors(bool importer);
    TPluginBase* SelectedPlugin() const;

    TdmMain& FData;
    QLabel* FVersionLabel = nullptr;
    QLabel* FLegend = nullptr;
    QGroupBox* FOptionGroups[2] = {};
    QWidget* FPanels[2] = {};
    bool FFilling = false;
};

// Tools, Preferences: the dialog over owner, shown modally.
void ShowPreferences(TdmMain& data, QWidget* owner);
