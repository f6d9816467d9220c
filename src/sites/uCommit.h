// Committing a POI to a site: the sites that take new POIs, the groups and POI files of a country
// that accept them, and sending one POI to the site's add URL.
#pragma once

#include "core/uDownload.h"

#include <QCoreApplication>
#include <QString>
#include <QStringList>

#include <cstdint>
#include <vector>

class TCountry;
class TPoi;
class TSite;

class TCommitTexts {
    Q_DECLARE_TR_FUNCTIONS(uCommit)
};

// The longest answer a site may give to a commit.
inline constexpr uint64_t MaxCommitAnswer = 1024 * 1024;

// Whether the file's bytes contain the text in the ANSI code page (case-sensitive); false when
// the file cannot be read.
bool FileContainsText(const QString& fileName, const QString& text);

// The sites, in their order, whose cached catalogue exists and announces an add URL ("<addurl").
QStringList CommitSites(const QStringList& sites);

// A group that accepts commits: Name as the POIs carry it, Caption as the list shows it (the
// description of a group the site defines, else the name).
struct TCommitGroup {
    QString Name;
    QString Caption;
};
std::vector<TCommitGroup> CommitGroups(const TSite& site, const TCountry& country);
// The POI files of the group that accept commits, in the site's order (they belong to the country).
std::vector<const TPoi*> CommitPoiFiles(const TCountry& country, const QString& groupName);
// Sends one POI to the site: the add URL built from the site's stored user name and password,
// the POI file's description (poiFile), the coordinates in degrees and the description, fetched
// straight from the site (never from the download cache). Any answer but blanks is the site's
// refusal. Every failure raises EUserError "Cannot commit to "<poiFile>" because the following
// error: ..." with the connection hint, after the site's error URL was called with it; an answer
// longer than MaxCommitAnswer fails too. No text raised or sent carries the password. progress
// sees the request and may cancel it: then EUserError "Download cancelled by user", and the error
// URL is not called.
void CommitPoi(const TSite& site, const QString& poiFile, double longitude, double latitude, const QString& description,
    const TDownloadProgressEvent& progress = {});
