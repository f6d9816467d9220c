// The preferences dialog.
#include "app/windows/fPluginSettings.h"

#include "app/windowbase/dMain.h"
#include "plugins/windows/fPlugin.h"
#include "app/windowbase/uDialogs.h"
#include "app/logic/uOpenFile.h"
#include "core/uSettings.h"
#include "formats/uConvertBase.h"

#include <QAction>
#include <QButtonGroup>
#include <QCheckBox>
#include <QComboBox>
#include <QFormLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QIntValidator>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QScrollArea>
#include <QSignalBlocker>
#include <QTabWidget>
#include <QTreeWidget>
#include <QVBoxLayout>

#include <algorithm>
#include <cstdlib>

namespace {

constexpr int DefaultImage = 8;
constexpr int OptionsImage = 9;

std::unique_ptr<TConvertBase> CreateConverter(bool importer, int row)
{
    if (importer)
        return TConvertFromBase::CreateConverterAt(row);
    return TConvertToBase::CreateConverterAt(row);
}

} // namespace

const QStringList& TfmPluginSettings::MapPointVersions()
{
    static const QStringList versions { QStringLiteral("MapPoint.Map.EU.9"), QStringLiteral("MapPoint.Map.NA.9"),
        QStringLiteral("MapPoint.Map.EU.11"), QStringLiteral("MapPoint.Map.NA.11") };
    return versions;
}

TfmPluginSettings::TfmPluginSettings(TdmMain& data, QWidget* owner)
    : TTarvellModalForm(owner)
    , FData(data)
{
    setObjectName(QStringLiteral("TfmPluginSettings"));
    Position = TFormPosition::poScreenCenter;
    setWindowFlag(Qt::WindowContextHelpButtonHint, false);
    resize(520, 420);
    PageControl1 = new QTabWidget(this);
    PageControl1->addTab(CreateGeneralPage(), QString());
    PageControl1->addTab(CreatePluginsPage(), QString());
    PageControl1->addTab(CreateConverterPage(true), QString());
    PageControl1->addTab(CreateConverterPage(false), QString());
    PageControl1->setCurrentIndex(0);
    Button1 = new QPushButton(this);
    Button1->setDefault(true);
    connect(Button1, &QPushButton::clicked, this, &QDialog::accept);
    auto* buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(Button1);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(PageControl1, 1);
    layout->addLayout(buttons);
    Retranslate();
    FillPages();
}

QWidget* TfmPluginSettings::CreateGeneralPage()
{
    auto* page = new QWidget;
    FVersionLabel = new QLabel(page);
    coVersion = new QComboBox(page);
    coVersion->setObjectName(QStringLiteral("coVersion"));
    for (int i = 0; i < MapPointVersions().size(); ++i)
        coVersion->addItem(QString());
    // Written at once, on every change.
    connect(coVersion, &QComboBox::currentIndexChanged, this, [this](int index) {
        if (!FFilling && index >= 0 && index < MapPointVersions().size())
            GetSettings().MapPointVersion = MapPointVersions()[index];
    });
    rgPrecision = new QGroupBox(page);
    rbPrecision5 = new QRadioButton(rgPrecision);
    rbPrecision6 = new QRadioButton(rgPrecision);
    auto* group = new QButtonGroup(rgPrecision);
    group->addButton(rbPrecision5, 0);
    group->addButton(rbPrecision6, 1);
    auto* precision = new QVBoxLayout(rgPrecision);
    precision->addWidget(rbPrecision5);
    precision->addWidget(rbPrecision6);
    cbShowStartupScreen = new QCheckBox(page);
    auto* layout = new QVBoxLayout(page);
    auto* version = new QHBoxLayout;
    version->addWidget(FVersionLabel);
    version->addWidget(coVersion, 1);
    layout->addLayout(version);
    layout->addWidget(rgPrecision);
    layout->addWidget(cbShowStartupScreen);
    layout->addStretch();
    return page;
}

QWidget* TfmPluginSettings::CreatePluginsPage()
{
    auto* page = new QWidget;
    ListView1 = new QTreeWidget(page);
    ListView1->setObjectName(QStringLiteral("ListView1"));
    ListView1->setColumnCount(1);
    ListView1->setRootIsDecorated(false);
    ListView1->setColumnWidth(0, 230);
    ListView1->setEditTriggers(QAbstractItemView::NoEditTriggers);
    cbAutoArrange = new QCheckBox(page);
    actSettings = new QAction(this);
    actSetDefault = new QAction(this);
    buSettings = new QPushButton(page);
    buSetDefault = new QPushButton(page);
    auto bind = [](QPushButton* button, QAction* action) {
        QObject::connect(button, &QPushButton::clicked, action, &QAction::trigger);
        QObject::connect(action, &QAction::changed, button, [button, action] {
            button->setText(action->text());
            button->setEnabled(action->isEnabled());
        });
    };
    bind(buSettings, actSettings);
    bind(buSetDefault, actSetDefault);
    connect(actSetDefault, &QAction::triggered, this, [this] { RunCommand(this, [this] { actSetDefaultExecute(); }); });
    connect(actSettings, &QAction::triggered, this, [this] { RunCommand(this, [this] { actSettingsExecute(); }); });
    connect(ListView1, &QTreeWidget::itemDoubleClicked, this, [this] {
        if (actSettings->isEnabled())
            actSettings->trigger();
    });
    connect(ListView1, &QTreeWidget::itemSelectionChanged, this, [this] { UpdateActions(); });
    auto* layout = new QVBoxLayout(page);
    layout->addWidget(ListView1, 1);
    layout->addWidget(cbAutoArrange);
    auto* buttons = new QHBoxLayout;
    buttons->addWidget(buSettings);
    buttons->addWidget(buSetDefault);
    buttons->addStretch();
    layout->addLayout(buttons);
    return page;
}

QWidget* TfmPluginSettings::CreateConverterPage(bool importer)
{
    auto* page = new QWidget;
    auto* list = new QTreeWidget(page);
    list->setObjectName(importer ? QStringLiteral("lvImport") : QStringLiteral("lvExport"));
    list->setColumnCount(4);
    list->setRootIsDecorated(false);
    list->setColumnWidth(0, 148);
    list->setColumnWidth(2, 100);
    list->setColumnWidth(3, 32);
    list->setEditTriggers(QAbstractItemView::NoEditTriggers);
    list->setSelectionMode(QAbstractItemView::SingleSelection);
    list->setIconSize(FData.ListImages.Size());
    connect(list, &QTreeWidget::itemSelectionChanged, this, [this, importer] { ConverterSelectionChanged(importer); });
    (importer ? lvImport : lvExport) = list;
    auto* layout = new QVBoxLayout(page);
    layout->addWidget(list, 1);
    if (importer) {
        auto* legend = new QHBoxLayout;
        auto* picture = new QLabel(page);
        picture->setPixmap(FData.ListImages.Image(DefaultImage));
        FLegend = new QLabel(page);
        legend->addWidget(picture);
        legend->addWidget(FLegend);
        legend->addStretch();
        layout->addLayout(legend);
    }
    auto* group = new QGroupBox(page);
    FOptionGroups[importer ? 0 : 1] = group;
    auto* box = new QScrollArea(group);
    box->setObjectName(importer ? QStringLiteral("sbImportOptions") : QStringLiteral("sbExportOptions"));
    box->setWidgetResizable(false);
    box->setMinimumHeight(96);
    auto* panel = new QWidget;
    box->setWidget(panel);
    FPanels[importer ? 0 : 1] = panel;
    (importer ? sbImportOptions : sbExportOptions) = box;
    auto* groupLayout = new QVBoxLayout(group);
    groupLayout->addWidget(box);
    layout->addWidget(group);
    return page;
}

void TfmPluginSettings::Retranslate()
{
    setWindowTitle(tr("Preferences..."));
    PageControl1->setTabText(0, tr("General"));
    PageControl1->setTabText(1, tr("Map Plugins"));
    PageControl1->setTabText(2, tr("File Importers"));
    PageControl1->setTabText(3, tr("File Exporters"));
    FVersionLabel->setText(tr("MapPoint version:"));
    const char* versions[] = { QT_TR_NOOP("MapPoint 2000 Europe"), QT_TR_NOOP("MapPoint 2000 North America"),
        QT_TR_NOOP("MapPoint 2004 Europe"), QT_TR_NOOP("MapPoint 2004 North America") };
    for (int i = 0; i < 4; ++i)
        coVersion->setItemText(i, tr(versions[i]));
    rgPrecision->setTitle(tr("Coordinate precision"));
    rbPrecision5->setText(tr("5 decimals"));
    rbPrecision6->setText(tr("6 decimals"));
    rgPrecision->setToolTip(tr("Precision used when converting lon/lat values from degree to decimal presentation and "
                               "when setting points from the map pane"));
    cbShowStartupScreen->setText(tr("Show startup choices screen"));
    ListView1->setHeaderLabels({ tr("Name") });
    cbAutoArrange->setText(tr("AutoArrange external applications"));
    actSettings->setText(tr("Settings..."));
    actSetDefault->setText(tr("Set Default"));
    for (QTreeWidget* list : { lvImport, lvExport })
        list->setHeaderLabels({ tr("Name"), tr("Ext"), tr("ID"), tr("Opt") });
    FLegend->setText(tr("= Default format for extension"));
    for (QGroupBox* group : FOptionGroups)
        group->setTitle(tr("Options"));
    Button1->setText(tr("Close"));
}

void TfmPluginSettings::showEvent(QShowEvent* event)
{
    TTarvellModalForm::showEvent(event);
    FillPages();
}

void TfmPluginSettings::FillPages()
{
    FFilling = true;
    const TSettings& settings = GetSettings();
    ListView1->clear();
    const TPluginBase* defaultPlugin = FData.FindDefaultPlugin();
    for (int i = 0; i < FData.ExternalPlugins.Count(); ++i) {
        const TPluginBase* plugin = FData.ExternalPlugins.Items(i);
        auto* item = new QTreeWidgetItem(ListView1, { plugin->GetPlugInName() });
        if (plugin == defaultPlugin)
            item->setIcon(0, FData.ListImages.Image(DefaultImage));
    }
    cbAutoArrange->setChecked(settings.PluginAutoArrange);
    cbShowStartupScreen->setChecked(settings.ShowStartupScreen);
    (settings.Precision == 5 ? rbPrecision5 : rbPrecision6)->setChecked(true);
    coVersion->setCurrentIndex(int(MapPointVersions().indexOf(settings.MapPointVersion)));
    FillConverterList(false);
    FillConverterList(true);
    FFilling = false;
    UpdateActions();
}

void TfmPluginSettings::FillConverterList(bool importer)
{
    QTreeWidget* list = importer ? lvImport : lvExport;
    const QSignalBlocker blocker(list);
    list->clear();
    const int count = importer ? TConvertFromBase::FormatCount() : TConvertToBase::FormatCount();
    for (int row = 0; row < count; ++row) {
        const QString extension = importer ? TConvertFromBase::Extension(row) : TConvertToBase::Extension(row);
        const QString formatID = importer ? TConvertFromBase::FormatIDAt(row) : TConvertToBase::FormatIDAt(row);
        auto* item = new QTreeWidgetItem(list,
            { importer ? TConvertFromBase::Description(row) : TConvertToBase::Description(row), extension,
                formatID, QString() });
        if (CreateConverter(importer, row)->OptionCount() > 0)
            item->setIcon(3, FData.ListImages.Image(OptionsImage));
        if (importer
            && TOpenFile::ResolveFormat(extension.toLower(), QString()).compare(formatID, Qt::CaseInsensitive) == 0)
            item->setIcon(0, FData.ListImages.Image(DefaultImage));
    }
    ClearOptionEditors(importer);
}

void TfmPluginSettings::UpdateActions()
{
    const QList<QTreeWidgetItem*> selected = ListView1->selectedItems();
    const int row = selected.isEmpty() ? -1 : ListView1->indexOfTopLevelItem(selected.first());
    const bool plugin = row >= 0 && row < FData.ExternalPlugins.Count();
    actSettings->setEnabled(plugin);
    actSetDefault->setEnabled(plugin && FData.ExternalPlugins.Items(row) != FData.FindDefaultPlugin());
}

TPluginBase* TfmPluginSettings::SelectedPlugin() const
{
    const QList<QTreeWidgetItem*> selected = ListView1->selectedItems();
    const int row = selected.isEmpty() ? -1 : ListView1->indexOfTopLevelItem(selected.first());
    return row >= 0 && row < FData.ExternalPlugins.Count() ? FData.ExternalPlugins.Items(row) : nullptr;
}

void TfmPluginSettings::actSettingsExecute()
{
    TPluginBase* plugin = SelectedPlugin();
    if (!plugin)
        return;
    TfmPlugin dialog(this);
    dialog.Plugin = plugin;
    dialog.ShowModal();
}

void TfmPluginSettings::actSetDefaultExecute()
{
    const TPluginBase* selected = SelectedPlugin();
    if (!selected)
        return;
    GetSettings().DefaultPlugin = selected->GetPlugInName();
    const TPluginBase* defaultPlugin = FData.FindDefaultPlugin();
    for (int i = 0; i < ListView1->topLevelItemCount(); ++i)
        ListView1->topLevelItem(i)->setIcon(
            0, FData.ExternalPlugins.Items(i) == defaultPlugin ? FData.ListImages.Image(DefaultImage) : QIcon());
    UpdateActions();
}

QWidget* TfmPluginSettings::OptionsPanel(bool importer) const
{
    return FPanels[importer ? 0 : 1];
}

void TfmPluginSettings::ClearOptionEditors(bool importer)
{
    QWidget* panel = OptionsPanel(importer);
    for (QWidget* child : panel->findChildren<QWidget*>(QString(), Qt::FindDirectChildrenOnly))
        delete child;
    panel->resize(0, 0);
}

void TfmPluginSettings::ConverterSelectionChanged(bool importer)
{
    QTreeWidget* list = importer ? lvImport : lvExport;
    const QList<QTreeWidgetItem*> selected = list->selectedItems();
    if (selected.isEmpty()) {
        ClearOptionEditors(importer);
        return;
    }
    RunCommand(this, [&] { BuildOptionEditors(importer, list->indexOfTopLevelItem(selected.first())); });
}

void TfmPluginSettings::BuildOptionEditors(bool importer, int row)
{
    ClearOptionEditors(importer);
    QWidget* panel = OptionsPanel(importer);
    QScrollArea* box = importer ? sbImportOptions : sbExportOptions;
    const int clientWidth = box->viewport()->width();
    const std::unique_ptr<TConvertBase> converter = CreateConverter(importer, row);
    int y = 0;
    int width = clientWidth;
    for (int i = 0; i < converter->OptionCount(); ++i) {
        switch (converter->OptionKind(i)) {
        case TOptionKind::okBoolean: {
            auto* check = new QCheckBox(converter->OptionCaption(i), panel);
            check->setProperty("tag", i);
            check->setToolTip(converter->OptionHint(i));
            check->setChecked(converter->ReadBoolOption(i));
            check->setGeometry(4, y, std::max(1, clientWidth - 4), check->sizeHint().height());
            // Written at once, by a fresh converter of the row.
            connect(check, &QCheckBox::toggled, this, [this, importer, row, i](bool on) {
                RunCommand(this, [&] { CreateConverter(importer, row)->WriteBoolOption(i, on); });
            });
            check->show();
            y += check->height();
            break;
        }
        case TOptionKind::okInteger: {
            auto* edit = new QLineEdit(panel);
            edit->setProperty("tag", i);
            edit->setToolTip(converter->OptionHint(i));
            // Whole numbers within the option's range only: a half-typed text writes nothing.
            edit->setValidator(new QIntValidator(converter->OptionMin(i), converter->OptionMax(i), edit));
            edit->setText(QString::number(converter->ReadIntegerOption(i)));
            auto* label = new QLabel(converter->OptionCaption(i) + QChar(':'), panel);
            label->setToolTip(converter->OptionHint(i));
            label->setAlignment(Qt::AlignVCenter | Qt::AlignLeft);
            // The design's places, moved on where a caption (in German, say) or a number needs more.
            const int labelWidth = std::max(176, label->sizeHint().width());
            const QString widest = QString::number(std::max(std::abs(qint64(converter->OptionMin(i))), std::abs(qint64(converter->OptionMax(i))))) + QChar('-');
            const int editWidth = std::max(32, edit->fontMetrics().horizontalAdvance(widest) + 12);
            edit->setGeometry(labelWidth > 176 ? 4 + labelWidth + 4 : 180, y, editWidth, edit->sizeHint().height());
            label->setGeometry(4, y, labelWidth, edit->height());
            width = std::max(width, edit->geometry().right() + 1);
            connect(edit, &QLineEdit::textEdited, this, [this, importer, row, i, edit](const QString& text) {
                if (!edit->hasAcceptableInput())
                    return;
                RunCommand(this, [&] { CreateConverter(importer, row)->WriteIntegerOption(i, text.toInt()); });
            });
            edit->show();
            label->show();
            y += edit->height();
            break;
        }
        default:
            throw EAssertionFailed(QStringLiteral("Unsupported"), "fPluginSettings", __LINE__);
        }
    }
    panel->resize(std::max(1, width), y);
}

void TfmPluginSettings::done(int result)
{
    // Ends an edit still being typed before the settings are taken.
    Button1->setFocus();
    TSettings& settings = GetSettings();
    settings.PluginAutoArrange = cbAutoArrange->isChecked();
    settings.ShowStartupScreen = cbShowStartupScreen->isChecked();
    settings.Precision = rbPrecision5->isChecked() ? 5 : 6;
    TTarvellModalForm::done(result);
}

void ShowPreferences(TdmMain& data, QWidget* owner)
{
    TfmPluginSettings dialog(data, owner);
    dialog.exec();
}
