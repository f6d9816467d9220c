// The program version check: the version file of the product's web site, the comparison with the
// running program's version and the texts of a failed check.
#pragma once

#include "core/uDownload.h"
#include "core/uGeneral.h"

#include <QCoreApplication>
#include <QString>

#include <cstdint>
#include <string>

class TVersionInfoTexts {
    Q_DECLARE_TR_FUNCTIONS(fRetrieveVersionInfo)
};

// The longest version file read.
inline constexpr uint64_t MaxVersionFileSize = 1024 * 1024;

// True when online is newer than own: the first position, from major to build, where the two
// differ decides; equal versions are not newer.
bool CompareVersions(const TFileVersionNumbers& online, const TFileVersionNumbers& own);

// "major.minor.release.build".
QString VersionNumbersText(const TFileVersionNumbers& version);

// The version in the "Current" child of the document element: four "."-separated decimal
// numbers. ETarvellError "Invalid xml, no document element found" with an excerpt of the text,
// "Online version information invalid" without "Current"; EConvertError for a field that is
// missing or not a whole number of at least 0.
TFileVersionNumbers ParseVersionXml(const QString& text);

// The version file's text from the web site's "/version.xml", fetched straight from the site
// (at most MaxVersionFileSize bytes); progress keeps the window alive meanwhile. An answer that
// is no XML (an error page) raises "Unable to retrieve online version information.".
QString FetchVersionFile(const QString& webSite, const TDownloadProgressEvent& progress = {});

// "Cannot retrieve online file information (version info) because of the following error: ..."
QString VersionCheckErrorText(const QString& message);
// "Could not download version information because of the following exception: ..."
QString VersionCheckExceptionText(const QString& message);

// A web site address that is still the placeholder of an unconfigured build (a host under
// ".example"): the weekly check skips it without a word.
bool IsPlaceholderWebSite(const QString& webSite);
