// The desktop map application window: the shown POIs as pushpins in an embedded map program,
// reached through a layer with the calls the window makes.
#pragma once

#include "maps/uMapForm.h"

#include <QString>

#include <functional>
#include <memory>

// The map application as the window uses it. Every call throws on failure. Indexes of data sets
// count from 1, as the application's collections do; handles are the layer's own.
class TMapPointLayer {
public:
    virtual ~TMapPointLayer() = default;
    // Activation, in this order: the object of the application identifier, its verb, its map
    // interface and the one set-up call chain.
    virtual void CreateObject(const QString& progId) = 0;
    virtual void DoVerb(int verb) = 0;
    virtual void AttachMap() = 0;
    virtual void SetupMap() = 0;
    // Degrees; altitude in the application's unit.
    virtual void GoTo(double lat, double lon, double altitude) = 0;
    virtual int DataSetCount() = 0;
    virtual QString DataSetName(int index) = 0;
    virtual void DeleteDataSet(int index) = 0;
    virtual int AddPushpinSet(const QString& name) = 0;
    // The location of (lat, lon, altitude) and a pushpin there; returns the pushpin.
    virtual int AddPushpin(double lat, double lon, double altitude, const QString& name) = 0;
    virtual void SetHighlighted(int pushpin, bool value) = 0;
    virtual void SetSymbol(int pushpin, int symbol) = 0;
    virtual void MoveToDataSet(int pushpin, int dataSet) = 0;
    // Deactivation, in this order.
    virtual void DeactivateMap() = 0;
    virtual void CloseObject() = 0;
};

using TMapPointLayerFactory = std::function<std::unique_ptr<TMapPointLayer>()>;
// Installs the factory of every new window's layer (tests install a recording fake); an empty one
// restores the production layer, which has no application to talk to on this system.
void SetMapPointLayerFactory(TMapPointLayerFactory factory);

inline constexpr int MaxMapPointPushpins = 100;
inline constexpr int MapPointCurrentSymbol = 11;
inline constexpr int MapPointOtherSymbol = 9;

class TfmMapPointEmbed : public TMapForm {
    Q_OBJECT
public:
    explicit TfmMapPointEmbed(TEntries& source, QWidget* owner = nullptr);
    ~TfmMapPointEmbed() override;

    // Creates the application's object from the "MapPointVersion" setting; any failure there is
    // the user error that says to set up the version.
    void FormActivate() override;
    void FormDeactivate() override;
    // Centres on the current entry (altitude 10 on the first centring after an activation, else 0).
    void ShowCurrentEntry() override;
    // Centres, replaces the "Tarvell" pushpin set and adds the first 100 entries to it.
    void ShowEntries() override;

private:
    std::unique_ptr<TMapPointLayer> FLayer;
    bool FActive = false;
    bool FFirstCentring = false;
};
