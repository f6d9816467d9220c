// Refreshes the local copy of one site's catalogue under a progress dialog.
#include "app/windows/uSiteXmlUpdater.h"

#include "app/windowbase/fProgress.h"
#include "core/uDownload.h"
#include "core/uGeneral.h"
#include "core/uXmlDocument.h"
#include "sites/uSite.h"
#include "sites/uUpdateRun.h"

#include <QApplication>

TDownloadProgressEvent DownloadProgressOf(TfmProgress& progress)
{
    return [&progress](uint64_t p, uint64_t m, TUrlDownloadStatus, const QString&, bool& cancel) {
        progress.DownloadProgress(qint64(p), qint64(m), cancel);
    };
}

TSiteXmlUpdater::TSiteXmlUpdater(QObject* owner)
    : QObject(owner)
{
}

void TSiteXmlUpdater::Update(const QString& location)
{
    DoDownload(location);
}

void TSiteXmlUpdater::DoDownload(const QString& location)
{
    Url = location;
    const THourglass hourglass;
    bool cancelled = false;
    bool fetched = false;
    {
        TfmProgress progress(qobject_cast<QWidget*>(parent()));
        progress.SetText(tr("Downloading..."));
        progress.AutoClose = true;
        progress.OnExecute = [this, &fetched](TfmProgress& p) {
            DownloadStep(p);
            fetched = true;
        };
        ErrorText.clear();
        progress.ShowModal();
        cancelled = progress.Cancelled;
    }
    // A dialog closed before its fetch ran has fetched nothing.
    if (!fetched)
        throw EUserError(tr("Download cancelled by user"));
    if (ErrorText.isEmpty())
        return;
    if (cancelled)
        throw EUserError(tr("Download cancelled by user"));
    throw EUserError(SiteDownloadError(Url, ErrorText));
}

void TSiteXmlUpdater::DownloadStep(TfmProgress& progress)
{
    try {
        // Only the local copy matters; the parsed document is dropped.
        DownloadSiteCatalogue(Url, Force, DownloadProgressOf(progress));
    } catch (const ETarvellError& e) {
        ErrorText = e.Message();
    }
}
