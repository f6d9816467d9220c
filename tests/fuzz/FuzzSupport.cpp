// What the fuzzing entry points share: the faults they report and the process set-up.
#include "FuzzSupport.h"

#include "core/uCodePage.h"
#include "formats/uFormats.h"

#include <QGuiApplication>
#include <QTemporaryDir>

#include <cstdio>
#include <cstdlib>

[[noreturn]] void Fault(const std::string& what)
{
    std::fprintf(stderr, "fuzz fault: %s\n", what.c_str());
    std::fflush(stderr);
    std::abort();
}

void Check(bool cond, const std::string& what)
{
    if (!cond)
        Fault(what);
}

void Unexpected(const ETarvellError& e) { Fault(std::string("assertion: ") + e.what()); }

void InitFuzzing(int* argc, char*** argv)
{
    static QTemporaryDir home;
    qputenv("XDG_CONFIG_HOME", (home.path() + QStringLiteral("/config")).toLocal8Bit());
    qputenv("XDG_DATA_HOME", (home.path() + QStringLiteral("/data")).toLocal8Bit());
    qputenv("XDG_CACHE_HOME", (home.path() + QStringLiteral("/cache")).toLocal8Bit());
    qputenv("TARVELL_CODEPAGE", "1252");
    qputenv("QT_QPA_PLATFORM", "offscreen");
    ResetSystemAnsiCodePage();
    static QGuiApplication app(*argc, *argv);
    RegisterAllFormats();
}
