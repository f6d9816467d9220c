// The entry shared by the logic test executables: a Qt core application, a private settings,
// data and cache home, code page 1252 and all formats registered.
#pragma once

#include "core/uCodePage.h"
#include "formats/uFormats.h"

#include <QCoreApplication>
#include <QTemporaryDir>

#include <gtest/gtest.h>

inline int RunLogicTests(int argc, char** argv)
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
