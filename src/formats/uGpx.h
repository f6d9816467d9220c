// The GPS eXchange Format (GPX 1.1) reader and writer, also the clipboard format of POI lists.
#pragma once

#include "formats/uConvertBase.h"

#include <QString>

#include <string>
#include <string_view>

class TConvertToGpx : public TConvertToBase {
    Q_DECLARE_TR_FUNCTIONS(uGpx)
public:
    QString FormatID() const override { return QStringLiteral("gengpx"); }
    void Convert(TEntries& entries, TMemoryStream& stream) override;
};

class TConvertFromGpx : public TConvertFromBase {
    Q_DECLARE_TR_FUNCTIONS(uGpx)
public:
    QString FormatID() const override { return QStringLiteral("gengpx"); }
    // Throws EUserError for text that is not XML or a point without lat or lon, EConvertError for
    // a coordinate that is not a number. Entries read before stay.
    void Convert(TEntries& entries, TMemoryStream& stream) override;

protected:
    std::span<const TOptionInfo> Options() const override;
    TMissingOption MissingOption() const override { return TMissingOption::Empty; }

private:
    // Pieces smaller than this cost more in threads than they save.
    static constexpr size_t MinPieceBytes = size_t(1) << 20;
    // Reads a big document in pieces on several threads; false (nothing added) when it cannot
    // be cut or is not well-formed, and the one parse of the whole document must read it.
    bool ReadInPieces(TEntries& entries, std::string_view bytes, const TConversionOptions& options);
};

// The text the POI list puts on the clipboard: the list written by the ".gpx" exporter.
QString GpxClipboardText(TEntries& entries);
// Appends the POIs of a clipboard text (read by the ".gpx" importer) to the list.
void AppendGpxClipboardText(TEntries& entries, const QString& text);

// A waypoint's own markup as a POI's Extra, and back. Extra holds 8-bit text of the code page
// when that says exactly the same (as it always did); else, so that every character of names and
// CDATA survives, UTF-8 after a byte-order mark (a flag no 8-bit markup starts with).
std::string GpxExtraOfMarkup(const QString& xml);
QString GpxMarkupOfExtra(std::string_view extra);
