// Binds one POI to the edit row of a child window: the texts and states of its edits, and which
// edit writes back what. The window copies these values to and from its controls.
#pragma once

#include <QString>

class TEntry;

// The edit row's controls.
enum class TEntryEdit {
    Description,
    Latitude,
    Longitude,
    LatDeg,
    LatMin,
    LatSec,
    LonDeg,
    LonMin,
    LonSec,
    LatSign,
    LonSign,
};

// What the edit row shows.
struct TEntryEditValues {
    bool Enabled = false;
    QString Description, Latitude, Longitude;
    QString LatDeg, LatMin, LatSec, LonDeg, LonMin, LonSec;
    QString LatSign, LonSign;

    QString& Text(TEntryEdit edit);
    const QString& Text(TEntryEdit edit) const { return const_cast<TEntryEditValues*>(this)->Text(edit); }
};

class TEntryEditSync {
public:
    // Every edit is enabled exactly when there is an entry; without one the texts are empty.
    // Decimal coordinates use CoordinatePrecision decimals in the user's locale.
    static void FromEntry(const TEntry* entry, TEntryEditValues& values);
    // Writes the changed control back when its value differs from the entry; a sign button always
    // toggles. True when something was written. Numbers that do not read leave the entry alone
    // (the window then shows the entry's value again). Decimals take the locale's separator or a
    // dot, never a grouping separator.
    static bool ToEntry(TEntry* entry, TEntryEdit changed, const TEntryEditValues& values);
    // The "-" and "+" keys of the decimal edits: a leading "-" added, or the first one removed.
    static QString ApplySignKey(const QString& text, bool minus);
    // A user's edit (typing, paste, drop) of a field that takes at most limit characters: what
    // it inserted into before is cut so that the text ends at limit characters (a longer text
    // the program set stays as long as it is). cursor gets the place after what was kept.
    // Returns after itself when nothing needs cutting.
    static QString LimitInsertion(const QString& before, const QString& after, int limit, int& cursor);
};
