// The desktop map application window.
#include "maps/fMapPointEmbed.h"

#include "core/uCodePage.h"
#include "core/uGeneral.h"
#include "core/uSettings.h"
#include "model/uModel.h"

#include <QCoreApplication>

namespace {

const QString SetName = QStringLiteral("Tarvell");

class TMapPointTexts {
    Q_DECLARE_TR_FUNCTIONS(fMapPointEmbed)
};

// No desktop map application exists on this system: creating its object always fails.
class TMissingMapPointLayer : public TMapPointLayer {
public:
    void CreateObject(const QString& progId) override
    {
        throw ETarvellError(QStringLiteral("No application registered for %1").arg(progId));
    }
    void DoVerb(int) override { }
    void AttachMap() override { }
    void SetupMap() override { }
    void GoTo(double, double, double) override { }
    int DataSetCount() override { return 0; }
    QString DataSetName(int) override { return QString(); }
    void DeleteDataSet(int) override { }
    int AddPushpinSet(const QString&) override { return 0; }
    int AddPushpin(double, double, double, const QString&) override { return 0; }
    void SetHighlighted(int, bool) override { }
    void SetSymbol(int, int) override { }
    void MoveToDataSet(int, int) override { }
    void DeactivateMap() override { }
    void CloseObject() override { }
};

TMapPointLayerFactory& Factory()
{
    static TMapPointLayerFactory factory;
    return factory;
}

} // namespace

void SetMapPointLayerFactory(TMapPointLayerFactory factory) { Factory() = std::move(factory); }

TfmMapPointEmbed::TfmMapPointEmbed(TEntries& source, QWidget* owner)
    : TMapForm(source, owner)
    , FLayer(Factory() ? Factory()() : std::make_unique<TMissingMapPointLayer>())
{
    setObjectName(QStringLiteral("fmMapPointEmbed"));
    auto* container = new QWidget(this);
    container->setObjectName(QStringLiteral("OleContainer1"));
    setCentralWidget(container);
}

TfmMapPointEmbed::~TfmMapPointEmbed() = default;

void TfmMapPointEmbed::FormActivate()
{
    FFirstCentring = true;
    try {
        FLayer->CreateObject(GetSettings().MapPointVersion);
    } catch (...) {
        throw EUserError(TMapPointTexts::tr("MapPoint application or version not found. Setup your MapPoint version in "
                                            "the General tab section of the preferences dialog"));
    }
    FActive = true;
    FLayer->DoVerb(1);
    FLayer->AttachMap();
    FLayer->SetupMap();
}

void TfmMapPointEmbed::FormDeactivate()
{
    if (!FActive)
        return;
    FActive = false;
    FLayer->DeactivateMap();
    FLayer->CloseObject();
}

void TfmMapPointEmbed::ShowCurrentEntry()
{
    if (!FActive || CurrentIndex < 0 || CurrentIndex >= Entries().Count())
        return;
    const TEntry& entry = Entries()[CurrentIndex];
    std::unique_ptr<THourglass> hourglass;
    double altitude = 0;
    if (FFirstCentring) {
        hourglass = std::make_unique<THourglass>();
        altitude = 10;
    }
    FFirstCentring = false;
    FLayer->GoTo(entry.GetLatitude(), entry.GetLongitude(), altitude);
}

void TfmMapPointEmbed::ShowEntries()
{
    if (!FActive)
        return;
    ShowCurrentEntry();
    for (int i = 1, n = FLayer->DataSetCount(); i <= n; ++i)
        if (FLayer->DataSetName(i) == SetName) {
            FLayer->DeleteDataSet(i);
            break;
        }
    const int set = FLayer->AddPushpinSet(SetName);
    const int count = std::min(Entries().Count(), MaxMapPointPushpins);
    for (int i = 0; i < count; ++i) {
        const TEntry& entry = Entries()[i];
        const int pushpin = FLayer->AddPushpin(entry.GetLatitude(), entry.GetLongitude(), 0, AnsiToUnicode(entry.GetDescription()));
        if (i == CurrentIndex) {
            FLayer->SetHighlighted(pushpin, true);
            FLayer->SetSymbol(pushpin, MapPointCurrentSymbol);
        } else {
            FLayer->SetSymbol(pushpin, MapPointOtherSymbol);
        }
        FLayer->MoveToDataSet(pushpin, set);
    }
}
