// A small folder tree for the shell tests: a/, a/x/, B/, .hidden/, f.txt, a link to a and a
// dangling link, in a temporary folder.
#pragma once

#include "ui/uShellNamespace.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

struct TShellFixture {
    QTemporaryDir Root;
    TShellFixture()
    {
        QDir root(Root.path());
        root.mkpath(QStringLiteral("a/x"));
        root.mkpath(QStringLiteral("B"));
        root.mkpath(QStringLiteral(".hidden"));
        QFile file(root.filePath(QStringLiteral("f.txt")));
        if (file.open(QIODevice::WriteOnly))
            file.write("not a folder");
        QFile::link(root.filePath(QStringLiteral("a")), root.filePath(QStringLiteral("link")));
        QFile::link(root.filePath(QStringLiteral("gone")), root.filePath(QStringLiteral("dangling")));
    }
    QString Path(const QString& relative = QString()) const
    {
        return relative.isEmpty() ? Root.path() : Root.path() + QChar('/') + relative;
    }
    // The fixture as the whole file system, with no home, desktop or volumes.
    TShellPlaces Places() const
    {
        TShellPlaces places;
        places.FileSystem = Root.path();
        return places;
    }
};
