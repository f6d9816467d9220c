// The coordinates calculator: one coordinate pair shown in decimal degrees and in degrees,
// minutes and seconds, each following the other as it is edited.
#pragma once

#include "app/logic/uEntryEditSync.h"
#include "app/windowbase/uTarvellForm.h"

#include <map>
#include <memory>

class QLabel;
class QLineEdit;
class QPushButton;
class TEntry;

class TfmCoordsCalculator : public TTarvellModalForm {
    Q_OBJECT
public:
    // converterOnly: the Tools menu's pure converter (no OK, Cancel reads "Close"), captioned
    // caption.
    explicit TfmCoordsCalculator(QWidget* owner = nullptr, bool converterOnly = false, const QString& caption = QString());
    ~TfmCoordsCalculator() override;

    // The dialog's own POI.
    TEntry& Entry() const { return *FEntry; }
    // Writes the control back to the POI and refills every edit when that changed something.
    void ControlLeft(TEntryEdit edit);
    // OK: a pending edit is written; a longitude or latitude of exactly 0 keeps the dialog open
    // with a user error.
    void buOKClick();

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    friend class TfmCoordsCalculatorTestAccess;
    void Retranslate() override;
    void FillEdits();
    TEntryEditValues Values() const;

    std::unique_ptr<TEntry> FEntry;
    QLineEdit *edLongitude = nullptr, *edLatitude = nullptr;
    QLineEdit *edLonDeg = nullptr, *edLonMin = nullptr, *edLonSec = nullptr;
    QLineEdit *edLatDeg = nullptr, *edLatMin = nullptr, *edLatSec = nullptr;
    QPushButton *buLonSign = nullptr, *buLatSign = nullptr;
    QPushButton *buOK = nullptr, *buCancel = nullptr;
    std::map<TEntryEdit, QLineEdit*> FEdits;
    QLabel* FLongitudeLabel = nullptr;
    QLabel* FLatitudeLabel = nullptr;
    bool FConverterOnly = false;
    QString FCaption;
};

// Tools, Coordinates Calculator: the converter over owner, captioned caption.
void ShowCoordsCalculator(QWidget* owner, const QString& caption);
