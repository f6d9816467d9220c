// Test support for plug-ins: a temporary program folder with copies of the built test plug-ins,
// and access to the extra exports through which a test plug-in reports and is steered.
#pragma once

#include "plugins/loader/PluginUtils.h"

#include <QDir>
#include <QFile>
#include <QString>
#include <QStringList>
#include <QTemporaryDir>

#include <dlfcn.h>
#include <string>

// The built test plug-in of that name ("external", "html", "crashes", ...).
inline QString BuiltTestPlugin(const QString& name)
{
    return QStringLiteral(TARVELL_TEST_PLUGIN_DIR "/") + name + QStringLiteral(".so");
}

// A program folder with plugins/openexternal/ and plugins/htmlembed/ and a settings store file.
struct TPluginFolder {
    QTemporaryDir Dir;
    QStringList Warnings;

    TPluginFolder()
    {
        QDir(Dir.path()).mkpath(QStringLiteral("plugins/openexternal"));
        QDir(Dir.path()).mkpath(QStringLiteral("plugins/htmlembed"));
    }
    QString AppDir() const { return Dir.path() + QLatin1Char('/'); }
    QString Folder(TPluginKind kind) const { return PluginFolder(AppDir(), kind); }
    QString StoreFile() const { return Dir.filePath(QStringLiteral("Tarvell.ini")); }
    // Copies a built test plug-in under the file name as.
    QString Copy(const QString& built, const QString& as, TPluginKind kind = TPluginKind::OpenExternal)
    {
        const QString target = Folder(kind) + as;
        QFile::remove(target);
        QFile::copy(built.contains(QLatin1Char('/')) ? built : BuiltTestPlugin(built), target);
        return target;
    }
    QString Write(const QString& as, const QByteArray& bytes, TPluginKind kind = TPluginKind::OpenExternal)
    {
        QFile file(Folder(kind) + as);
        file.open(QIODevice::WriteOnly);
        file.write(bytes);
        return file.fileName();
    }
    TPluginLoadOptions Options(TPluginKind kind, const TPluginList* others = nullptr)
    {
        TPluginLoadOptions options;
        options.Folder = Folder(kind);
        options.StoreFile = StoreFile();
        options.Warn = [this](const QString& message) { Warnings << message; };
        options.Trial = HelperProcessTrial(QStringLiteral(TARVELL_PLUGIN_TRIAL));
        options.Others = others;
        return options;
    }
    // For TdmMain::LoadPlugins: the program's store, the trial helper of the build, warnings kept.
    TPluginLoadOptions ProgramOptions()
    {
        TPluginLoadOptions options;
        options.Warn = [this](const QString& message) { Warnings << message; };
        options.Trial = HelperProcessTrial(QStringLiteral(TARVELL_PLUGIN_TRIAL));
        return options;
    }
};

// The extra exports of a loaded test plug-in (found by its path).
struct TTestPluginProbe {
    void* Handle = nullptr;
    explicit TTestPluginProbe(const QString& path)
        : Handle(dlopen(QFile::encodeName(path).constData(), RTLD_NOW | RTLD_NOLOAD))
    {
    }
    ~TTestPluginProbe()
    {
        if (Handle)
            dlclose(Handle);
    }
    TTestPluginProbe(const TTestPluginProbe&) = delete;
    TTestPluginProbe& operator=(const TTestPluginProbe&) = delete;
    template <class F>
    F Get(const char* name) const
    {
        return Handle ? reinterpret_cast<F>(dlsym(Handle, name)) : nullptr;
    }
    std::string Log() const
    {
        auto f = Get<const char* (*)()>("TestLog");
        return f ? f() : "(no plug-in)";
    }
    void Reset() const
    {
        if (auto f = Get<void (*)()>("TestReset"))
            f();
    }
    void Set(const char* key, const char* value) const
    {
        if (auto f = Get<void (*)(const char*, const char*)>("TestSet"))
            f(key, value);
    }
    void CallClose() const
    {
        if (auto f = Get<void (*)()>("TestCallClose"))
            f();
    }
};
