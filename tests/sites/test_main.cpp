// Entry of the sites tests: a Qt core application, a private settings home, all formats.
#include "core/uCodePage.h"
#include "formats/uFormats.h"

#include <QCoreApplication>
#include <QTemporaryDir>

#include <gtest/gtest.h>

int main(int argc, char** argv)
{
    ::testing::InitGoogleTest(&argc, argv);
    QTemporaryDir home;
    qputenv("XDG_CONFIG_HOME", (home.path() + QStringLiteral("/config")).toLocal8Bit());
    qputenv("XDG_DATA_HOME", (home.path() + QStringLiteral("/data")).toLocal8Bit());
    qputenv("XDG_CACHE_HOME", (home.path() + QStringLiteral("/cache")).toLocal8Bit());
    qputenv("TARVELL_CODEPAGE", "1252");
    ResetSystemAnsiCodePage();
    QCoreApplication app(argc, argv);
    RegisterAllFormats();
    return RUN_ALL_TESTS();
}
