// Refreshes the local copy of one site's catalogue under a progress dialog.
#pragma once

#include "core/uDownload.h"

#include <QObject>
#include <QString>

class TfmProgress;

// The download progress handler of a progress dialog: its bar follows the transfer and its Cancel
// cancels it.
TDownloadProgressEvent DownloadProgressOf(TfmProgress& progress);

class TSiteXmlUpdater : public QObject {
    Q_OBJECT
public:
    explicit TSiteXmlUpdater(QObject* owner = nullptr);

    QString Url;
    // Fetch directly, past the download cache.
    bool Force = false;
    // The failed fetch's message; empty after success.
    QString ErrorText;

    // Raises EUserError when the fetch failed ("Download cancelled by user" after a Cancel).
    void Update(const QString& location);
    void DoDownload(const QString& location);
    void DownloadStep(TfmProgress& progress);
};
