// The internal map window's rules.
#include "maps/uMapInternal.h"

#include "core/uCodePage.h"
#include "core/uLocations.h"
#include "maps/uMapScale.h"
#include "model/uModel.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QLocale>

#include <cfenv>
#include <cmath>
#include <utility>
#include <vector>

#include <dirent.h>
#include <sys/stat.h>

namespace {

QString& MapsFolderOverride()
{
    static QString folder;
    return folder;
}

} // namespace

QString MapsFolder()
{
    const QString& chosen = MapsFolderOverride();
    return chosen.isEmpty() ? GetAppDir() + QStringLiteral("maps/") : chosen;
}

void SetMapsFolder(const QString& folder) { MapsFolderOverride() = folder; }

bool IsMapPictureName(const QString& fileName)
{
    const int dot = int(fileName.lastIndexOf(QLatin1Char('.')));
    if (dot < 0)
        return false;
    const QString extension = fileName.mid(dot).toLower();
    return extension == QLatin1String(".gif") || extension == QLatin1String(".bmp")
        || extension == QLatin1String(".wmf") || extension == QLatin1String(".jpg");
}

std::vector<TMapPictureName> ListMapPictureNames(const QString& folder)
{
    std::vector<TMapPictureName> names;
    // The file system's bytes: a name that is not UTF-8 is listed too, and opened by them.
    QByteArray native = QFile::encodeName(folder);
    if (!native.endsWith('/'))
        native += '/';
    DIR* dir = ::opendir(native.constData());
    if (!dir)
        return names;
    while (const dirent* entry = ::readdir(dir)) {
        const QByteArray name(entry->d_name);
        const int dot = int(name.lastIndexOf('.'));
        if (dot < 0 || !IsMapPictureName(QString::fromLatin1(name.mid(dot))))
            continue;
        // Regular files only (links to them too): a FIFO, a device or a socket would hang or never end.
        struct stat info {};
        if (::stat((native + name).constData(), &info) != 0 || !S_ISREG(info.st_mode))
            continue;
        names.push_back({ name, VisibleFileName(name) });
    }
    ::closedir(dir);
    // Names that differ only in case keep one order, so the stored index names one picture.
    std::sort(names.begin(), names.end(), [](const TMapPictureName& a, const TMapPictureName& b) {
        const int folded = a.Shown.compare(b.Shown, Qt::CaseInsensitive);
        if (folded != 0)
            return folded < 0;
        return a.Shown != b.Shown ? a.Shown < b.Shown : a.Native < b.Native;
    });
    return names;
}

QStringList ListMapPictures(const QString& folder)
{
    QStringList names;
    for (const TMapPictureName& name : ListMapPictureNames(folder))
        names << name.Shown;
    return names;
}

bool CanZoomIn(bool hasPicture, double factor) { return hasPicture && factor < 4; }

bool CanZoomOut(bool hasPicture, double factor) { return hasPicture && factor > 0.5; }

int WheelScrollStep(int wheelDelta, bool ctrl) { return wheelDelta / (ctrl ? 5 : 20); }

TGeoRect GeoRectOf(double lon1, double lat1, double lon2, double lat2)
{
    TGeoRect rect { lon1, lon2, lat2, lat1 };
    if (rect.West > rect.East)
        std::swap(rect.West, rect.East);
    if (rect.South > rect.North)
        std::swap(rect.South, rect.North);
    return rect;
}

bool InsideInclusive(const TEntry& entry, const TGeoRect& rect)
{
    const double lon = entry.GetLongitude();
    const double lat = entry.GetLatitude();
    return rect.West <= lon && lon <= rect.East && rect.South <= lat && lat <= rect.North;
}

bool InsideStrictly(double lon, double lat, const TGeoRect& rect)
{
    return rect.West < lon && lon < rect.East && rect.South < lat && lat < rect.North;
}

int KeepStrictlyInside(TEntries& view, const TGeoRect& rect, int currentIndex)
{
    std::vector<int> outside;
    int current = currentIndex;
    const int count = view.Count();
    for (int i = 0; i < count; ++i) {
        const TEntry& entry = view[i];
        if (InsideStrictly(entry.GetLongitude(), entry.GetLatitude(), rect))
            continue;
        outside.push_back(i);
        if (i == currentIndex)
            current = -1;
        else if (i < currentIndex && current >= 0)
            --current;
    }
    if (currentIndex < 0 || currentIndex >= count)
        current = -1;
    view.DeleteIndices(outside);
    return current;
}

TScrollPos ScrollToShow(int left, int top, int width, int height, TScrollPos now, int clientWidth, int clientHeight)
{
    TScrollPos pos = now;
    if (left < now.Horizontal)
        pos.Horizontal = left;
    else if (left + width > now.Horizontal + clientWidth)
        pos.Horizontal = left + width - clientWidth;
    if (top < now.Vertical)
        pos.Vertical = top;
    else if (top + height > now.Vertical + clientHeight)
        pos.Vertical = top + height - clientHeight;
    return pos;
}

int FindNearestEntry(const TEntries& entries, const TMapScale& scale, int x, int y)
{
    constexpr int64_t Reach2 = int64_t(HintReach) * HintReach;
    int found = -1;
    int64_t best = Reach2 + 1;
    const int count = entries.Count();
    for (int i = 0; i < count; ++i) {
        const TEntry& entry = entries[i];
        const int64_t dx = int64_t(scale.LonToX(entry.GetLongitude())) - x;
        const int64_t dy = int64_t(scale.LatToY(entry.GetLatitude())) - y;
        if (std::abs(dx) > HintReach || std::abs(dy) > HintReach)
            continue;
        const int64_t d2 = dx * dx + dy * dy;
        if (d2 < best) {
            best = d2;
            found = i;
        }
    }
    return found;
}

QString MapHintText(const TEntry& entry, int precision)
{
    const QLocale locale;
    return TMapInternalTexts::tr("%1\nLat/Lon: %2/%3")
        .arg(AnsiToUnicode(entry.GetDescription()), locale.toString(entry.GetLatitude(), 'f', precision),
            locale.toString(entry.GetLongitude(), 'f', precision));
}

double RoundToDecimals(double value, int decimals)
{
    const double scale = std::pow(10.0, decimals);
    const int mode = std::fegetround();
    std::fesetround(FE_TONEAREST);
    const double rounded = std::nearbyint(value * scale) / scale;
    std::fesetround(mode);
    return rounded;
}

std::optional<TGeoPoint> PickedPosition(double lat, double lon, int precision)
{
    if (!std::isfinite(lat) || !std::isfinite(lon))
        return std::nullopt;
    const TGeoPoint point { RoundToDecimals(lat, precision), RoundToDecimals(lon, precision) };
    if (std::abs(point.Lat) > 90 || std::abs(point.Lon) > 180)
        return std::nullopt;
    return point;
}

bool CanSetPosition(bool calibrated, int entryCount) { return calibrated && entryCount == 1; }

QString CalibrationPointsError(int x1, int y1, int x2, int y2, double lon1, double lat1, double lon2, double lat2)
{
    if (x1 == x2)
        return TMapInternalTexts::tr("Both calibration points have the same X. Choose two points that differ in X and in Y");
    if (y1 == y2)
        return TMapInternalTexts::tr("Both calibration points have the same Y. Choose two points that differ in X and in Y");
    if (lon1 == lon2)
        return TMapInternalTexts::tr("Both calibration points have the same longitude. Enter two positions that differ in latitude and in longitude");
    if (lat1 == lat2)
        return TMapInternalTexts::tr("Both calibration points have the same latitude. Enter two positions that differ in latitude and in longitude");
    return QString();
}

bool CalibrationPointsClose(int x1, int y1, int x2, int y2, int pictureWidth, int pictureHeight)
{
    return std::abs(qint64(x1) - x2) < pictureWidth / 4 || std::abs(qint64(y1) - y2) < pictureHeight / 4;
}
