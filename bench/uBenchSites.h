// What the site benchmarks share: best-of-five timing, the load beside the figures and a fresh
// home for the settings, data and cache.
#pragma once

#include <QElapsedTimer>
#include <QFile>
#include <QTemporaryDir>

#include <algorithm>
#include <functional>
#include <string>

// Best of five runs of body, each after setup; milliseconds.
inline double BestOf5(const std::function<void()>& setup, const std::function<void()>& body)
{
    double best = 1e300;
    for (int i = 0; i < 5; ++i) {
        setup();
        QElapsedTimer timer;
        timer.start();
        body();
        best = std::min(best, double(timer.nsecsElapsed()) / 1e6);
    }
    return best;
}

inline std::string LoadAverage()
{
    QFile file(QStringLiteral("/proc/loadavg"));
    return file.open(QIODevice::ReadOnly) ? file.readAll().trimmed().toStdString() : std::string("?");
}

// Settings, data and cache below home, so a run never touches the user's own.
inline void UseBenchHome(const QTemporaryDir& home)
{
    qputenv("XDG_CONFIG_HOME", (home.path() + QStringLiteral("/config")).toLocal8Bit());
    qputenv("XDG_DATA_HOME", (home.path() + QStringLiteral("/data")).toLocal8Bit());
    qputenv("XDG_CACHE_HOME", (home.path() + QStringLiteral("/cache")).toLocal8Bit());
}
