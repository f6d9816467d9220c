// The dialog that sends one POI to a site that takes new POIs: the site, its country, group and
// POI file, the site's format hint and the POI file's note.
#pragma once

#include "app/windowbase/uTarvellForm.h"

#include <functional>

class QAction;
class QComboBox;
class QGroupBox;
class QLabel;
class QLineEdit;
class QPlainTextEdit;
class QPushButton;
class TCountry;
class TSite;

class TfmCommit : public TTarvellModalForm {
    Q_OBJECT
public:
    // Fills the site list with the sites that take commits (the one committed to last chosen).
    explicit TfmCommit(QWidget* owner = nullptr);
    // A dialog without sites has nothing to commit to.
    bool HasSites() const;

    // Set by the opener before showing: the POI in degrees and its description (which the user
    // may edit).
    double Longitude = 0;
    double Latitude = 0;
    QString Description;

    // The cascade: a site fills its countries, a country its groups, a group its POI files.
    void coSitesChange();
    void coCountriesChange();
    void coGroupChange();
    void coPoiFileChange();
    // OK is enabled while a POI file is chosen.
    void acOkUpdate();
    // Sends the POI; the dialog closes with OK on success and stays open on failure.
    void acOkExecute();

protected:
    void showEvent(QShowEvent* event) override;
    void Retranslate() override;

private:
    friend class TfmCommitTestAccess;

    QLineEdit* edLatitude = nullptr;
    QLineEdit* edLongitude = nullptr;
    QLineEdit* edDescription = nullptr;
    QWidget* paAddFormat = nullptr;
    QPlainTextEdit* meAddFormat = nullptr;
    QComboBox* coSites = nullptr;
    QComboBox* coCountries = nullptr;
    QComboBox* coGroup = nullptr;
    QComboBox* coPoiFile = nullptr;
    QPlainTextEdit* meNote = nullptr;
    QPushButton* buOK = nullptr;
    QPushButton* buCancel = nullptr;
    QAction* acOk = nullptr;

    void Run(const std::function<void()>& body);
    // The chosen site (loaded from its cached catalogue) and country; none when nothing is chosen.
    TSite* CurrentSite() const;
    const TCountry* CurrentCountry() const;

    QGroupBox* FPoiBox = nullptr;
    QGroupBox* FTargetBox = nullptr;
    QLabel* FLabels[7] = {};
};
