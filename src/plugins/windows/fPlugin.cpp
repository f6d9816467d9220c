// The parameter dialog of a map plug-in.
#include "plugins/windows/fPlugin.h"

#include "app/windowbase/uDialogs.h"
#include "core/uSettingsStore.h"
#include "plugins/loader/PluginUtils.h"

#include <QComboBox>
#include <QEvent>
#include <QFrame>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QScrollArea>
#include <QSpinBox>
#include <QVBoxLayout>

#include <limits>

namespace {

constexpr int EditorLeft = 100;

} // namespace

TfmPlugin::TfmPlugin(QWidget* owner)
    : QDialog(owner)
{
    setObjectName(QStringLiteral("fmPlugin"));
    setWindowFlag(Qt::WindowContextHelpButtonHint, false);
    resize(380, 300);
    ScrollBox1 = new QScrollArea(this);
    ScrollBox1->setObjectName(QStringLiteral("ScrollBox1"));
    ScrollBox1->setWidgetResizable(true);
    FRows = new QWidget;
    FRowLayout = new QVBoxLayout(FRows);
    FRowLayout->setContentsMargins(4, 4, 4, 4);
    FRowLayout->setSpacing(2);
    FRowLayout->addStretch();
    ScrollBox1->setWidget(FRows);
    buOk = new QPushButton(this);
    buOk->setObjectName(QStringLiteral("buOk"));
    buOk->setDefault(true);
    buCancel = new QPushButton(this);
    buCancel->setObjectName(QStringLiteral("buCancel"));
    connect(buOk, &QPushButton::clicked, this, &QDialog::accept);
    connect(buCancel, &QPushButton::clicked, this, &QDialog::reject);
    auto* buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(buOk);
    buttons->addWidget(buCancel);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(ScrollBox1, 1);
    layout->addLayout(buttons);
    Retranslate();
}

void TfmPlugin::Retranslate()
{
    buOk->setText(tr("OK"));
    buCancel->setText(tr("Cancel"));
    if (Plugin)
        setWindowTitle(tr("%1 settings...").arg(Plugin->GetPlugInName()));
}

void TfmPlugin::changeEvent(QEvent* event)
{
    if (event->type() == QEvent::LanguageChange)
        Retranslate();
    QDialog::changeEvent(event);
}

void TfmPlugin::BuildRows()
{
    for (QWidget* row : FRows->findChildren<QWidget*>(QString(), Qt::FindDirectChildrenOnly))
        delete row;
    FParams.clear();
    if (!Plugin)
        return;
    Retranslate();
    const TSettingsStore store(Plugin->StoreFileName());
    const QString section = Plugin->SectionName();
    for (int i = 0, n = Plugin->GetParamCount(); i < n; ++i) {
        const int type = Plugin->GetParamType(i);
        if (type > 2)
            continue;
        const QString name = Plugin->GetParamName(i);
        // The stored value, not the plug-in's current one.
        const QString value = store.ReadString(section, name, Plugin->GetParamDefault(i));
        TRow row { i, type };
        auto* panel = new QFrame(FRows);
        panel->setObjectName(QStringLiteral("paParam%1").arg(i));
        panel->setFrameShape(QFrame::Box);
        panel->setLineWidth(1);
        auto* line = new QHBoxLayout(panel);
        line->setContentsMargins(4, 2, 4, 2);
        auto* caption = new QLabel(name + QLatin1Char(':'), panel);
        // The plug-in's name for it, shown as it stands.
        caption->setTextFormat(Qt::PlainText);
        caption->setAlignment(Qt::AlignLeft | Qt::AlignVCenter);
        caption->setFixedWidth(EditorLeft - 8);
        line->addWidget(caption);
        const QString editName = QStringLiteral("edValue%1").arg(i);
        if (type == 0) {
            // The up-down control holds 16-bit signed values.
            constexpr int Low = std::numeric_limits<int16_t>::min(), High = std::numeric_limits<int16_t>::max();
            const int minimum = std::clamp(ParamInteger(Plugin->GetParamMin(i)), Low, High);
            const int maximum = std::clamp(ParamInteger(Plugin->GetParamMax(i)), Low, High);
            const int position = ParamInteger(value);
            row.UpDown = new QSpinBox(panel);
            row.UpDown->setObjectName(QStringLiteral("udValue%1").arg(i));
            row.UpDown->setRange(minimum, std::max(minimum, maximum));
            row.UpDown->setValue(position);
            // Read-only text: the value changes through the arrows only.
            row.UpDown->findChild<QLineEdit*>()->setReadOnly(true);
            row.UpDown->findChild<QLineEdit*>()->setObjectName(editName);
            row.UpDown->findChild<QLineEdit*>()->setBackgroundRole(QPalette::Button);
            line->addWidget(row.UpDown, 1);
        } else if (type == 1) {
            row.Edit = new QLineEdit(value, panel);
            row.Edit->setObjectName(editName);
            line->addWidget(row.Edit, 1);
        } else {
            row.List = new QComboBox(panel);
            row.List->setObjectName(editName);
            int selected = -1;
            for (int j = 0, options = Plugin->GetParamOptionCount(i); j < options; ++j) {
                row.List->addItem(Plugin->GetParamOptionName(i, j));
                if (Plugin->GetParamOptionValue(i, j) == value)
                    selected = j;
            }
            row.List->setCurrentIndex(selected);
            line->addWidget(row.List, 1);
        }
        FRowLayout->insertWidget(FRowLayout->count() - 1, panel);
        FParams.push_back(row);
    }
}

int TfmPlugin::ShowModal()
{
    BuildRows();
    if (parentWidget())
        move(parentWidget()->window()->frameGeometry().center() - rect().center());
    return exec();
}

void TfmPlugin::accept()
{
    bool saved = false;
    RunCommand(this, [this, &saved] {
        Save();
        saved = true;
    });
    if (saved)
        QDialog::accept();
}

void TfmPlugin::Save()
{
    if (Plugin) {
        TSettingsStore store(Plugin->StoreFileName());
        const QString section = Plugin->SectionName();
        store.BeginUpdate();
        for (const TRow& row : FParams) {
            QString value;
            if (row.UpDown) {
                value = QString::number(row.UpDown->value());
            } else if (row.Edit) {
                value = row.Edit->text();
            } else {
                // A list with no matching option leaves its parameter as it was.
                if (row.List->currentIndex() < 0)
                    continue;
                value = Plugin->GetParamOptionValue(row.Index, row.List->currentIndex());
            }
            store.WriteString(section, Plugin->GetParamName(row.Index), value);
            Plugin->SetParamValue(row.Index, value);
        }
        store.EndUpdate();
    }
}
