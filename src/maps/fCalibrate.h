// The calibration dialog: two picture pixels, clicked on the map, and their geographic positions,
// and the map's background colour.
#pragma once

#include "app/logic/uEntryEditSync.h"
#include "app/windowbase/uTarvellForm.h"
#include "maps/uMapCalibration.h"
#include "model/uModel.h"

#include <map>

class QComboBox;
class QLabel;
class QLineEdit;
class QPushButton;
class QRadioButton;
class TfmMapInternal;

class TfmCalibrate : public TTarvellModalForm {
    Q_OBJECT
public:
    // owner: the map window the dialog calibrates; it closes the dialog before it goes.
    explicit TfmCalibrate(TfmMapInternal& owner);
    ~TfmCalibrate() override;

    // The geographic positions of points 1 and 2.
    TEntry C1, C2;
    // The picture pixels of points 1 and 2 (zoom 1); each setter shows the number in its edit.
    int X1() const { return FX1; }
    int Y1() const { return FY1; }
    int X2() const { return FX2; }
    int Y2() const { return FY2; }
    void SetX1(int value);
    void SetY1(int value);
    void SetX2(int value);
    void SetY2(int value);
    // The point a click on the map sets: 1 or 2, 0 before either is chosen.
    int ChosenPoint() const;
    // The map background colour of ColorBox1 (a custom entry for a colour without a name).
    TInfColor Color() const;
    void SetColor(TInfColor color);

    // Leaving a coordinate edit or pressing a hemisphere button of point 1 or 2.
    void PointEditLeft(int point, TEntryEdit edit);
    // Leaving an X or Y edit.
    void edX1Exit();
    // Refuses points that share a coordinate; asks when they lie close; then calibrates the map
    // and closes.
    void buOKClick();

protected:
    void showEvent(QShowEvent* event) override;
    void done(int result) override;
    void changeEvent(QEvent* event) override;

private:
    friend class TfmCalibrateTestAccess;

    struct TPointEdits {
        std::map<TEntryEdit, QLineEdit*> Edits;
        QPushButton* LatSign = nullptr;
        QPushButton* LonSign = nullptr;
    };
    void Retranslate() override;
    void FillColorBox();
    void ColorBoxChosen(int index);
    void ShowPoints();
    TEntryEditValues Values(int point) const;
    QWidget* PointGroup(int point);
    void NamePointEdits(int point, QLineEdit* x, QLineEdit* y, TPointEdits& edits);

    QRadioButton *rbPoint1 = nullptr, *rbPoint2 = nullptr;
    QLineEdit *edX1 = nullptr, *edY1 = nullptr, *edX2 = nullptr, *edY2 = nullptr;
    QLineEdit *edLatitude1 = nullptr, *edLongitude1 = nullptr, *edLatitude2 = nullptr, *edLongitude2 = nullptr;
    QLineEdit *edLatDeg1 = nullptr, *edLatMin1 = nullptr, *edLatSec1 = nullptr;
    QLineEdit *edLonDeg1 = nullptr, *edLonMin1 = nullptr, *edLonSec1 = nullptr;
    QLineEdit *edLatDeg2 = nullptr, *edLatMin2 = nullptr, *edLatSec2 = nullptr;
    QLineEdit *edLonDeg2 = nullptr, *edLonMin2 = nullptr, *edLonSec2 = nullptr;
    QPushButton *buLatSign = nullptr, *buLonSign = nullptr, *buLatSign2 = nullptr, *buLonSign2 = nullptr;
    QComboBox* ColorBox1 = nullptr;
    QPushButton *buOK = nullptr, *buCancel = nullptr;
    TfmMapInternal& FOwner;
    TPointEdits FPoints[2];
    int FX1 = 0, FY1 = 0, FX2 = 0, FY2 = 0;
    TInfColor FCustomColor = 0;
    // The colour before the custom entry was chosen, kept when its dialog is cancelled.
    TInfColor FChosenColor = InfColor::clBtnFace;
    QLabel* FHeader = nullptr;
    QLabel* FColorLabel = nullptr;
    QLabel *FXLabel[2] {}, *FYLabel[2] {}, *FLatLabel[2] {}, *FLonLabel[2] {};
};
