// The internal map window: one picture of the maps folder, calibrated by its side file, with the
// child's selected POIs on it; pan, zoom, pick a position, select with a rubber band, calibrate.
#pragma once

#include "maps/uMap.h"
#include "maps/uMapCalibration.h"
#include "maps/uMapForm.h"

#include <QPoint>
#include <QPointer>

class QAction;
class QComboBox;
class QLabel;
class QPushButton;
class QScrollArea;
class QToolBar;
class TfmCalibrate;

class TfmMapInternal : public TMapForm {
    Q_OBJECT
public:
    explicit TfmMapInternal(TEntries& source, QWidget* owner = nullptr);
    ~TfmMapInternal() override;

    void ShowEntries() override;
    void ShowCurrentEntry() override;
    void MapShowHint(QString& hintStr, bool& canShow, TMapHintInfo& hintInfo) override;
    void FormActivate() override;

    // Refills the picture list from the maps folder, keeping the chosen name when it is still there.
    void FillMapList();
    // The chosen picture: stored as "Map", loaded, the current entry shown.
    void coMapChange();
    // Loads the chosen picture and its calibration unless it is the one loaded already.
    void LoadMap();
    // Writes the control's calibration to the loaded picture's side file; a user error naming the
    // folder when it cannot be written.
    void SaveCalibration();

    void acZoominExecute();
    void acZoomoutExecute();
    void acSetMoveExecute();
    void acSetPosExecute();
    void acCalibrateExecute();
    // Enabled states of the zoom and set-position actions.
    void UpdateActions();

    // The loaded picture's name; empty before the first.
    const QString& LoadedName() const { return FLoadedName; }
    bool Calibrated() const;
    // Whether the loaded picture's side file can be written (its name is UTF-8).
    bool NameWritable() const;
    // The map background ("BackColor").
    TInfColor BackColor() const { return FBackColor; }
    void SetBackColor(TInfColor color);
    // The open calibration dialog; nullptr when none.
    TfmCalibrate* CalibrationDialog() const;
    // The dialog's OK: the calibration into the control, the panel hidden, the side file written.
    void ApplyCalibration(const TMapCalibration& calibration);
    // The picture's size at zoom 1 (0 x 0 without one).
    QSize PictureSize() const;
    // The picture list; the calibration dialog locks it while it is open.
    void SetMapChoiceEnabled(bool enabled);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    friend class TfmMapInternalTestAccess;

    void CreateToolBar(QWidget* parent);
    void CreateMapBox(QWidget* parent);
    void CreateCalibrationPanel();
    void SetCalibration(const TMapCalibration& c);
    void Retranslate() override;
    void MapBoxMouseDown(const TMapMouseEvent& event);
    void OrvikMap1MouseMove(const TMapMouseEvent& event);
    void OrvikMap1MouseUp(const TMapMouseEvent& event);
    void OrvikMap1PaintMarkers(TOrvikMap& sender);
    void EndDrag();
    // Over the map: the scroll bars move 6 pixels a notch, 24 with Ctrl, sideways with Shift.
    bool FormMouseWheel(class QWheelEvent* wheel);
    void Panel2Resize();
    void ShowNeedsCalibration(bool shown);
    void ZoomTo(double zoom);
    QPoint ScrollPos() const;
    void SetScrollPos(QPoint pos);
    void Run(const std::function<void()>& body);

    QComboBox* coMap = nullptr;
    QToolBar* ToolBar1 = nullptr;
    QAction *acZoomout = nullptr, *acZoomin = nullptr, *acSetMove = nullptr, *acSetPos = nullptr;
    QAction *acSelect = nullptr, *acGotoMapsPage = nullptr, *acCalibrate = nullptr;
    QScrollArea* MapBox = nullptr;
    TOrvikMap* OrvikMap1 = nullptr;
    QLabel* imgPos = nullptr;
    QWidget* shSelect = nullptr;
    QWidget* laNeedsCalibration = nullptr;
    QLabel* FNeedsCalibrationText = nullptr;
    QPushButton* FCalibrateButton = nullptr;
    QString FLoadedName;
    QByteArray FLoadedNative;
    QPoint FDragOrigin { -1, -1 };
    QPointer<TfmCalibrate> FCalibrate;
    bool FBandActive = false;
    QPoint FBandStart;
    TInfColor FBackColor = InfColor::clBtnFace;
};
