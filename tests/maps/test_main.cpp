// Entry of the map tests: a widget application on the offscreen platform with a private settings,
// data and cache home and code page 1252.
#include "core/uCodePage.h"
#include "maps/uMap.h"

#include <QApplication>
#include <QTemporaryDir>

#include <gtest/gtest.h>

int main(int argc, char** argv)
{
    ::testing::InitGoogleTest(&argc, argv);
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QTemporaryDir home;
    qputenv("XDG_CONFIG_HOME", (home.path() + QStringLiteral("/config")).toLocal8Bit());
    qputenv("XDG_DATA_HOME", (home.path() + QStringLiteral("/data")).toLocal8Bit());
    qputenv("XDG_CACHE_HOME", (home.path() + QStringLiteral("/cache")).toLocal8Bit());
    qputenv("TARVELL_CODEPAGE", "1252");
    ResetSystemAnsiCodePage();
    QApplication app(argc, argv);
    TMapPicture::SetReaderAllocationLimit();
    return RUN_ALL_TESTS();
}
