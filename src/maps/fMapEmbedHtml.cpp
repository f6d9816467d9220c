// The HTML map window.
#include "maps/fMapEmbedHtml.h"

#include "app/windowbase/uDialogs.h"
#include "core/uGeneral.h"
#include "model/uModel.h"
#include "plugins/loader/PluginUtils.h"

#include <QAction>
#include <QDir>
#include <QLabel>
#include <QSaveFile>
#include <QTemporaryDir>
#include <QToolBar>
#include <QVBoxLayout>
#include <QWebEngineView>

namespace {

class TWebEngineMapView : public THtmlMapView {
public:
    explicit TWebEngineMapView(QWidget* parent)
        : FView(new QWebEngineView(parent))
    {
        FView->setObjectName(QStringLiteral("WebBrowser1"));
        FView->setContextMenuPolicy(Qt::NoContextMenu);
    }
    QWidget* Widget() override { return FView; }
    // The page keeps its name, so setUrl alone would not load the new content.
    void Load(const QUrl& url) override
    {
        if (FView->url() == url)
            FView->reload();
        else
            FView->setUrl(url);
    }

private:
    QWebEngineView* FView;
};

THtmlMapViewFactory& Factory()
{
    static THtmlMapViewFactory factory;
    return factory;
}

// Per process and private to the user: another program cannot put its page in our place.
QTemporaryDir& PageFolder()
{
    static QTemporaryDir folder(QDir::tempPath() + QStringLiteral("/tarvell-map-XXXXXX"));
    return folder;
}

class TMapTexts {
    Q_DECLARE_TR_FUNCTIONS(fMapEmbedHtml)
};

} // namespace

void SetHtmlMapViewFactory(THtmlMapViewFactory factory) { Factory() = std::move(factory); }

QString TfmMapEmbedHtml::PageFileName()
{
    if (!PageFolder().isValid())
        throw EUserError(TMapTexts::tr("No temporary folder for the map page could be created"));
    return PageFolder().filePath(QLatin1String(HtmlMapPageName));
}

TfmMapEmbedHtml::TfmMapEmbedHtml(TEntries& source, QWidget* owner)
    : TMapForm(source, owner)
{
    setObjectName(QStringLiteral("fmMapEmbedHtml"));
    auto* central = new QWidget(this);
    auto* layout = new QVBoxLayout(central);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);
    setCentralWidget(central);
    ToolBar1 = new QToolBar(central);
    ToolBar1->setObjectName(QStringLiteral("ToolBar1"));
    acZoomIn = new QAction(this);
    acZoomIn->setObjectName(QStringLiteral("acZoomIn"));
    acZoomIn->setIcon(MapPicture("zoom-in"));
    acZoomOut = new QAction(this);
    acZoomOut->setObjectName(QStringLiteral("acZoomOut"));
    acZoomOut->setIcon(MapPicture("zoom-out"));
    laZoomLevel = new QLabel(QStringLiteral("10"), ToolBar1);
    laZoomLevel->setObjectName(QStringLiteral("laZoomLevel"));
    laZoomLevel->setAlignment(Qt::AlignCenter);
    // The plug-in's value text, shown as it stands.
    laZoomLevel->setTextFormat(Qt::PlainText);
    laZoomLevel->setMinimumWidth(28);
    ToolBar1->addAction(acZoomIn);
    ToolBar1->addWidget(laZoomLevel);
    ToolBar1->addAction(acZoomOut);
    ToolBar1->hide();
    connect(acZoomIn, &QAction::triggered, this, [this] { RunCommand(this, [this] { acZoomInExecute(); }); });
    connect(acZoomOut, &QAction::triggered, this, [this] { RunCommand(this, [this] { acZoomOutExecute(); }); });
    layout->addWidget(ToolBar1);
    FView = Factory() ? Factory()(central) : std::make_unique<TWebEngineMapView>(central);
    WebBrowser1 = FView.get();
    layout->addWidget(FView->Widget(), 1);
    Retranslate();
}

TfmMapEmbedHtml::~TfmMapEmbedHtml() = default;

void TfmMapEmbedHtml::Retranslate()
{
    acZoomIn->setText(tr("Zoom in"));
    acZoomOut->setText(tr("Zoom out"));
}

void TfmMapEmbedHtml::SetMapPlugin(TPluginHtmlEmbed* plugin)
{
    FPlugin = plugin;
    FZoomParam = -1;
    ToolBar1->hide();
    if (!plugin)
        return;
    for (int i = 0, n = plugin->GetParamCount(); i < n; ++i)
        if (plugin->GetParamType(i) == 3) {
            FZoomParam = i;
            break;
        }
    if (FZoomParam >= 0) {
        laZoomLevel->setText(plugin->GetParamValue(FZoomParam));
        ToolBar1->show();
    }
}

void TfmMapEmbedHtml::ShowEntries()
{
    if (!FPlugin)
        return;
    TEntries& entries = Entries();
    const int count = std::min(FPlugin->GetMaxPois(), entries.Count());
    FPlugin->Init(count);
    const bool current = CurrentIndex >= 0 && CurrentIndex < entries.Count();
    int k = 0;
    if (current && k < count) {
        const TEntry& entry = entries[CurrentIndex];
        FPlugin->SetPoi(k++, entry.GetLongitude(), entry.GetLatitude(), entry.GetDescription());
    }
    for (int i = 0; i < entries.Count() && k < count; ++i) {
        if (current && i == CurrentIndex)
            continue;
        const TEntry& entry = entries[i];
        FPlugin->SetPoi(k++, entry.GetLongitude(), entry.GetLatitude(), entry.GetDescription());
    }
    const std::string page = FPlugin->GetHtml();
    if (page.empty())
        return;
    const QString fileName = PageFileName();
    QSaveFile file(fileName);
    if (!file.open(QIODevice::WriteOnly) || file.write(page.data(), qint64(page.size())) != qint64(page.size())
        || !file.commit())
        throw EUserError(tr("The map page %1 could not be written: %2").arg(fileName, file.errorString()));
    FView->Load(QUrl::fromLocalFile(fileName));
}

void TfmMapEmbedHtml::Zoom(int step)
{
    if (!FPlugin || FZoomParam < 0)
        return;
    const qint64 value = qint64(ParamInteger(FPlugin->GetParamValue(FZoomParam))) + step;
    const qint64 limit = ParamInteger(step > 0 ? FPlugin->GetParamMax(FZoomParam) : FPlugin->GetParamMin(FZoomParam));
    if (step > 0 ? value > limit : value < limit)
        return;
    FPlugin->SetParamValue(FZoomParam, QString::number(value));
    laZoomLevel->setText(QString::number(value));
}

void TfmMapEmbedHtml::acZoomInExecute() { Zoom(1); }

void TfmMapEmbedHtml::acZoomOutExecute() { Zoom(-1); }
