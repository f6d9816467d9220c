// Committing a POI to a site.
#include "sites/uCommit.h"

#include "core/uCodePage.h"
#include "core/uDownload.h"
#include "core/uLocations.h"
#include "core/uSettings.h"
#include "sites/uAutoUpdate.h"
#include "sites/uSite.h"

#include <QFileInfo>

namespace {

// A refusal longer than this is cut for the message box; the site's first words say why.
constexpr qsizetype MaxShownAnswer = 1000;

// The text with every occurrence of the password, as typed and as sent, masked.
QString WithoutPassword(QString text, const QString& password)
{
    // A very short password would mask ordinary words and still tell nothing.
    if (password.size() < 3)
        return text;
    const QString mask = QStringLiteral("***");
    text.replace(password, mask);
    text.replace(EncodeUrlParam(password), mask, Qt::CaseInsensitive);
    return text;
}

// The distinct characters of the text the ANSI code page has no byte for.
QString CharactersOutsideCodePage(const QString& text)
{
    QString lost;
    for (qsizetype i = 0; i < text.size(); ++i) {
        const qsizetype length = text[i].isHighSurrogate() && i + 1 < text.size() ? 2 : 1;
        const QString c = text.mid(i, length);
        i += length - 1;
        if (AnsiToUnicode(UnicodeToAnsi(c)) != c && !lost.contains(c))
            lost += c;
    }
    return lost;
}

} // namespace

bool FileContainsText(const QString& fileName, const QString& text)
{
    if (!QFileInfo(fileName).isFile())
        return false;
    try {
        return LoadBytesFromFile(fileName).find(UnicodeToAnsi(text)) != std::string::npos;
    } catch (const ETarvellError&) {
        return false;
    }
}

QStringList CommitSites(const QStringList& sites)
{
    QStringList result;
    for (const QString& site : sites)
        if (FileContainsText(LocationToLocalFile(site), QStringLiteral("<addurl")))
            result << site;
    return result;
}

std::vector<TCommitGroup> CommitGroups(const TSite& site, const TCountry& country)
{
    std::vector<TCommitGroup> groups;
    for (const QString& name : country.CommitGroupNames) {
        const int i = site.Groups.IndexOfName(name);
        groups.push_back({ name, i >= 0 ? site.Groups[i].Description : name });
    }
    return groups;
}

std::vector<const TPoi*> CommitPoiFiles(const TCountry& country, const QString& groupName)
{
    std::vector<const TPoi*> pois;
    const std::unique_ptr<TPoiList> inGroup = country.PoisInGroup(groupName);
    for (int i = 0; i < inGroup->Count(); ++i)
        if ((*inGroup)[i].CommitAllowed)
            pois.push_back(&(*inGroup)[i]);
    return pois;
}

void CommitPoi(const TSite& site, const QString& poiFile, double longitude, double latitude, const QString& description,
    const TDownloadProgressEvent& progress)
{
    // Sent as they are, such characters would arrive as question marks.
    for (const QString& text : { description, poiFile }) {
        const QString lost = CharactersOutsideCodePage(text);
        if (!lost.isEmpty())
            throw EUserError(TCommitTexts::tr("The site's code page cannot carry the characters \"%1\" of \"%2\". "
                                              "Please write them with other characters before committing.")
                                 .arg(lost.left(40), text.left(200)));
    }
    const QString userName = ReadSiteConfig(site.Location, QStringLiteral("Username"));
    const QString password = ReadSitePassword(site.Location);
    const QString url
        = BuildCommitUrl(site.AddUrl, site.Location, userName, password, poiFile, longitude, latitude, description);
    bool cancelled = false;
    const TDownloadProgressEvent watched = [&progress, &cancelled](uint64_t position, uint64_t maximum,
                                               TUrlDownloadStatus status, const QString& text, bool& cancel) {
        if (progress)
            progress(position, maximum, status, text, cancel);
        cancelled = cancelled || cancel;
    };
    try {
        // Straight from the site: an answer from the cache would report an earlier commit.
        QString answer = QString::fromUtf8(DownloadToStringLimited(url, MaxCommitAnswer, watched)).trimmed();
        if (!answer.isEmpty()) {
            if (answer.size() > MaxShownAnswer)
                answer = answer.left(MaxShownAnswer) + QStringLiteral("...");
            throw EUserError(answer);
        }
    } catch (const ETarvellError& e) {
        // The user stopped it: no error to report to a site that may not be answering at all.
        if (cancelled)
            throw EUserError(TCommitTexts::tr("Download cancelled by user"));
        QString errorUrl = site.OnErrorUrl.trimmed();
        try {
            if (!errorUrl.isEmpty())
                errorUrl = ResolveSiteUrl(errorUrl, site.Location);
        } catch (const ETarvellError&) {
            // As in the update engine: an error URL that cannot be resolved is not called.
            errorUrl.clear();
        }
        throw EUserError(FormatSiteError(WithoutPassword(e.Message(), password), false, poiFile, errorUrl,
            CommitErrorTemplate, userName, password, progress));
    }
}
