// Refreshes the local copy of one site's catalogue under a progress dialog.
#pragma once

#include <QObject>
#include <QString>

class TfmProgress;

class TSiteXmlUpdater : public QObject {
    Q_OBJECT
public:
    explicit TSiteXmlUpdater(QObject* owner = nullptr);

    QString Url;
    // Fetch directly, past the download cache.
    bool Force = false;
    TfmProgress* Progress = nullptr;
    // The failed fetch's message; empty after success.
    QString ErrorText;

    // Raises EUserError when the fetch failed ("Download cancelled by user" after a Cancel).
    void Update(const QString& location);
    void DoDownload(const QString& location);
    void DownloadStep(TfmProgress& progress);
};
