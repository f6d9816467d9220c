// The map pictures' metafile reader and calibration side file.
#include "FuzzSupport.h"

#include "maps/uMapCalibration.h"
#include "maps/uMetafile.h"

#include <QImage>
#include <QPainter>

int FuzzMetafile(const uint8_t* data, size_t size)
{
    TMetafile metafile;
    try {
        metafile.LoadFromBytes(Bytes(data, size));
    } catch (const EAssertionFailed& e) {
        Unexpected(e);
    } catch (const ETarvellError&) {
        return 0;
    }
    if (metafile.IsEmpty())
        return 0;
    QImage image(48, 32, QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::white);
    QPainter painter(&image);
    metafile.Draw(painter, QRectF(0, 0, 48, 32));
    return 0;
}

int FuzzCalibration(const uint8_t* data, size_t size)
{
    // The picture: 640 x 480 pixels, 123456 bytes, as the seeds name it.
    constexpr int64_t fileSize = 123456;
    const TCalibrationLoad load = ParseCalibration(Bytes(data, size), 640, 480, fileSize);
    if (load.State != TCalibrationState::Calibrated)
        return 0;
    const std::string text = CalibrationText(load.Calibration, fileSize);
    const TCalibrationLoad back = ParseCalibration(text, 640, 480, fileSize);
    Check(back.State == TCalibrationState::Calibrated, "a written side file does not read again");
    const TMapCalibration& a = load.Calibration;
    const TMapCalibration& b = back.Calibration;
    Check(a.Cal1X == b.Cal1X && a.Cal1Y == b.Cal1Y && a.Cal2X == b.Cal2X && a.Cal2Y == b.Cal2Y && a.BackColor == b.BackColor,
          "a written side file reads back other pixels or colour");
    Check(CalibrationText(b, fileSize) == text, "a written side file reads back other positions");
    return 0;
}

