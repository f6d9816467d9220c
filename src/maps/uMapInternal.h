// The rules of the internal map window that need no widget: which pictures the maps folder
// offers, zoom and wheel steps, the rubber band, the visible entries, the current entry's mark,
// the hint and a picked position, and the calibration dialog's checks.
#pragma once

#include <QCoreApplication>
#include <QString>
#include <QStringList>

#include <optional>
#include <vector>

class TEntries;
class TEntry;
class TMapScale;

class TMapInternalTexts {
    Q_DECLARE_TR_FUNCTIONS(TfmMapInternal)
};

// The folder the pictures come from: GetAppDir() + "maps/" unless SetMapsFolder chose another.
QString MapsFolder();
// folder (with a trailing "/"); empty restores the default.
void SetMapsFolder(const QString& folder);

// A picture the list offers: ".gif", ".bmp", ".wmf" or ".jpg" in any case.
bool IsMapPictureName(const QString& fileName);
// A picture of the maps folder: its name as the file system's bytes, and as shown (undecodable
// bytes, tabs, line breaks and the like escaped).
struct TMapPictureName {
    QByteArray Native;
    QString Shown;
};
// The regular files (links to them too) among the pictures in folder, sorted by their shown
// names ignoring case; empty when the folder is missing.
std::vector<TMapPictureName> ListMapPictureNames(const QString& folder);
// Their shown names.
QStringList ListMapPictures(const QString& folder);

// Zoom factors reach 0.5, 1, 2 and 4.
bool CanZoomIn(bool hasPicture, double factor);
bool CanZoomOut(bool hasPicture, double factor);
// How far one wheel event moves the scroll bar back (6 or, with Ctrl, 24 pixels per notch).
int WheelScrollStep(int wheelDelta, bool ctrl);

// A geographic rectangle, degrees.
struct TGeoRect {
    double West = 0, East = 0, South = 0, North = 0;
};
// The rectangle between two corners given in any order.
TGeoRect GeoRectOf(double lon1, double lat1, double lon2, double lat2);
// Entries on the edge count as inside (what is drawn).
bool InsideInclusive(const TEntry& entry, const TGeoRect& rect);
// Entries on the edge count as outside (what the rubber band selects).
bool InsideStrictly(double lon, double lat, const TGeoRect& rect);
// Removes from view every entry not strictly inside rect, in one pass. Returns the index the
// entry at currentIndex has afterwards; -1 when it was removed or there was none.
int KeepStrictlyInside(TEntries& view, const TGeoRect& rect, int currentIndex);

// Where the scroll positions go so that the mark (content rectangle left, top, width, height)
// is in view, moving them no further than needed.
struct TScrollPos {
    int Horizontal = 0, Vertical = 0;
};
TScrollPos ScrollToShow(int left, int top, int width, int height, TScrollPos now, int clientWidth, int clientHeight);

// How far (control pixels) the mouse may be from a marker's centre for the hint to name it.
constexpr int HintReach = 8;
// The entry whose marker centre (LonToX, LatToY) is nearest to control pixel (x, y), at most
// HintReach pixels from it; the first in list order among equally near ones; -1 when none.
int FindNearestEntry(const TEntries& entries, const TMapScale& scale, int x, int y);
// "<description>\nLat/Lon: <lat>/<lon>" with precision decimals in the user's locale.
QString MapHintText(const TEntry& entry, int precision);

// value rounded to decimals decimals, ties to even.
double RoundToDecimals(double value, int decimals);
struct TGeoPoint {
    double Lat = 0, Lon = 0;
};
// A position picked on the map, rounded to precision decimals; none when it lies beyond
// +-90 / +-180 or is not a number.
std::optional<TGeoPoint> PickedPosition(double lat, double lon, int precision);

// Set-position mode needs a calibrated picture and exactly one entry shown.
bool CanSetPosition(bool calibrated, int entryCount);

// The calibration dialog's OK: the error text when two points share X, Y, longitude or
// latitude (no calibration follows from them), else empty.
QString CalibrationPointsError(int x1, int y1, int x2, int y2, double lon1, double lat1, double lon2, double lat2);
// The points lie closer than a quarter of the picture in either direction.
bool CalibrationPointsClose(int x1, int y1, int x2, int y2, int pictureWidth, int pictureHeight);
