// Tests of locations, the program's folders, cache names, time stamps and safe local writes.
#include "core/uLocations.h"

#include "core/uStream.h"
#include "support/CoreTestHooks.h"
#include "support/TestSupport.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>

#include <cerrno>
#include <csignal>
#include <cstdio>

#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

QByteArray ReadAll(const QString& fileName)
{
    QFile f(fileName);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray("<missing>");
}

void WriteAll(const QString& fileName, const QByteArray& bytes)
{
    QFile f(fileName);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    f.write(bytes);
}

QString S(const char* text) { return QString::fromUtf8(text); }

struct TPrefixCase {
    const char* Text;
    bool Mobile, File, Http;
    const char* Stripped;  // StripLocationPrefix
};

TEST(Locations, PrefixesAreCaseInsensitiveAndExact)
{
    const TPrefixCase cases[] = {
        {"MOBILE://\\My Documents\\a.ov2", true, false, false, "\\My Documents\\a.ov2"},
        {"mobile://\\a.ov2", true, false, false, "\\a.ov2"},
        {"MoBiLe://", true, false, false, ""},
        {"MOBILE:/\\a.ov2", false, false, false, "MOBILE:/\\a.ov2"},  // a plain local path
        {"MOBILE:", false, false, false, "MOBILE:"},
        {"FILE:///home/u/a.ov2", false, true, false, "/home/u/a.ov2"},
        {"file:///x", false, true, false, "/x"},
        {"HTTP://host/a.xml", false, false, true, "host/a.xml"},
        {"http://host/a.xml", false, false, true, "host/a.xml"},
        {"https://host/a.xml", false, false, false, "https://host/a.xml"},
        {"/home/u/a.ov2", false, false, false, "/home/u/a.ov2"},
        {"FILE://MOBILE://x", false, true, false, "x"},          // stripped in that order
        {"HTTP://FILE://x", false, false, true, "FILE://x"},     // only one pass each
    };
    for (const TPrefixCase& c : cases) {
        const QString text = S(c.Text);
        EXPECT_EQ(IsMobilePath(text), c.Mobile) << c.Text;
        EXPECT_EQ(IsFilePath(text), c.File) << c.Text;
        EXPECT_EQ(IsHttpUrl(text), c.Http) << c.Text;
        EXPECT_EQ(StripLocationPrefix(text), S(c.Stripped)) << c.Text;
    }
    EXPECT_EQ(StripMobilePrefix(S("FILE://x")), S("FILE://x")) << "absent prefix: unchanged";
}

// Local paths part at "/" only (a Linux name may hold "\\" and ":"), device paths at "\\" or "/".
TEST(Locations, PartsOfLocalAndDeviceLocations)
{
    struct TCase {
        const char* Location;
        const char* Name;
        const char* Folder;
        const char* Extension;
        const char* WithBmp;
    };
    const TCase cases[] = {
        { "MOBILE://\\My Documents\\a.OV2", "a.OV2", "MOBILE://\\My Documents", ".ov2", "MOBILE://\\My Documents\\a.bmp" },
        { "mobile://\\x.y\\File", "File", "mobile://\\x.y", "", "mobile://\\x.y\\File.bmp" },
        { "MOBILE://\\a.ov2", "a.ov2", "MOBILE://\\", ".ov2", "MOBILE://\\a.bmp" },
        { "/home/u/x.y/File.OV2", "File.OV2", "/home/u/x.y", ".ov2", "/home/u/x.y/File.bmp" },
        { "/home/u/x.y/File", "File", "/home/u/x.y", "", "/home/u/x.y/File.bmp" },
        { "/home/u/a\\b:c.gpx", "a\\b:c.gpx", "/home/u", ".gpx", "/home/u/a\\b:c.bmp" },
        { "/home/u/back\\slash.d/x", "x", "/home/u/back\\slash.d", "", "/home/u/back\\slash.d/x.bmp" },
        { "FILE:///tmp/a.ov2", "a.ov2", "FILE:///tmp", ".ov2", "FILE:///tmp/a.bmp" },
        { "FILE://a.ov2", "a.ov2", "FILE://", ".ov2", "FILE://a.bmp" },
        { "museum.asc", "museum.asc", "", ".asc", "museum.bmp" },
    };
    for (const TCase& c : cases) {
        SCOPED_TRACE(c.Location);
        const QString location = QString::fromLatin1(c.Location);
        EXPECT_EQ(LocationFileName(location), QString::fromLatin1(c.Name));
        EXPECT_EQ(LocationFolder(location), QString::fromLatin1(c.Folder));
        EXPECT_EQ(LocationExtension(location), QString::fromLatin1(c.Extension));
        EXPECT_EQ(ChangeLocationExtension(location, QStringLiteral(".bmp")), QString::fromLatin1(c.WithBmp));
    }
    EXPECT_EQ(StripDot(QStringLiteral(".ov2")), QStringLiteral("ov2"));
}

// Device paths: "\\" and "/" separate, "." and ".." resolve, never above the root, case kept.
TEST(Locations, NormalisedDevicePaths)
{
    const std::pair<const char*, const char*> cases[] = {
        { "", "\\" },
        { "\\", "\\" },
        { "\\My Documents\\POIs\\", "\\My Documents\\POIs" },
        { "\\a\\.\\b.OV2", "\\a\\b.OV2" },
        { "\\a\\..\\b.ov2", "\\b.ov2" },
        { "\\a\\..\\..\\..\\b.ov2", "\\b.ov2" },
        { "\\..", "\\" },
        { "a/b\\\\c", "\\a\\b\\c" },
        { "\\x\\...\\C:\\~", "\\x\\...\\C:\\~" },
        { "\\a..\\.b", "\\a..\\.b" },
    };
    for (const auto& [path, normal] : cases)
        EXPECT_EQ(NormaliseDevicePath(QString::fromLatin1(path)), QString::fromLatin1(normal)) << path;

    for (const char* name : { "a.ov2", "My Documents", "...", ".hidden", "C:x" })
        EXPECT_TRUE(IsDevicePathComponent(QString::fromLatin1(name))) << name;
    for (const char* name : { "", ".", "..", "a\\b.ov2", "a/b", "line\nbreak", "tab\t", "del\x7f" })
        EXPECT_FALSE(IsDevicePathComponent(QString::fromLatin1(name))) << name;

    const std::pair<const char*, const char*> folders[] = {
        { "\\a\\b.ov2", "\\a\\" },
        { "\\b.ov2", "\\" },
        { "\\a\\", "\\a\\" },
        { "\\", "\\" },
        { "b.ov2", "" },
        { "", "" },
    };
    for (const auto& [path, folder] : folders) {
        EXPECT_EQ(DeviceFolderPart(QString::fromLatin1(path)), QString::fromLatin1(folder)) << path;
        EXPECT_EQ(DeviceFolderPart(QString::fromLatin1(path)) + DeviceNamePart(QString::fromLatin1(path)),
            QString::fromLatin1(path));
    }
    EXPECT_EQ(ChangeDeviceExtension(QStringLiteral("\\x.y\\a.OV2"), QStringLiteral(".bmp")), QStringLiteral("\\x.y\\a.bmp"));
    EXPECT_EQ(DeviceExtension(QStringLiteral("\\x.y\\a")), QString());
}

// Local paths become absolute and clean before they are opened, looked up or remembered.
TEST(Locations, AbsoluteLocations)
{
    const QString here = QDir::currentPath();
    const std::pair<QString, QString> cases[] = {
        { QStringLiteral("samples/amsterdam.ov2"), here + QStringLiteral("/samples/amsterdam.ov2") },
        { QStringLiteral("./a/../b.ov2"), here + QStringLiteral("/b.ov2") },
        { QStringLiteral("/tmp//x/./y.ov2"), QStringLiteral("/tmp/x/y.ov2") },
        { QStringLiteral("FILE://rel.ov2"), here + QStringLiteral("/rel.ov2") },
        { QStringLiteral("file:///tmp/a.ov2"), QStringLiteral("/tmp/a.ov2") },
        { QStringLiteral("MOBILE://\\a\\..\\b.ov2"), QStringLiteral("MOBILE://\\a\\..\\b.ov2") },
        { QStringLiteral("http://x.example/a/../b"), QStringLiteral("http://x.example/a/../b") },
        { QString(), QString() },
    };
    for (const auto& [location, absolute] : cases)
        EXPECT_EQ(AbsoluteLocation(location), absolute) << location.toStdString();
    EXPECT_TRUE(SameLocation(QStringLiteral("MOBILE://\\A.ov2"), QStringLiteral("mobile://\\a.OV2")));
    EXPECT_FALSE(SameLocation(QStringLiteral("/A.ov2"), QStringLiteral("/a.ov2")));
    EXPECT_FALSE(SameLocation(QStringLiteral("MOBILE://\\a.ov2"), QStringLiteral("\\a.ov2")));
    EXPECT_EQ(StripDot(QStringLiteral("ov2")), QStringLiteral("ov2"));
}

TEST(Locations, UrlToFileNameMakesOneFileName)
{
    const std::pair<const char*, const char*> cases[] = {
        {"http://www.example.com/pois/speed.ov2?country=nl&v=2", "www.example.com_pois_speed.ov2_country=nl&v=2"},
        {"HTTP://host/a b.xml", "host_a b.xml"},
        {"ftp://host/x.ov2", "ftp___host_x.ov2"},
        {"https://host/x", "https___host_x"},
        {"http://h/\"*:<>?\\|", "h_________"},
        {"http://h/\x01tab\t", "h_\x01tab\t"},  // control characters stay
        {"http://..", "__"},                    // never the data folder's parent
    };
    for (const auto& [address, name] : cases)
        EXPECT_EQ(UrlToFileName(S(address)), S(name)) << address;
    EXPECT_EQ(LocationToLocalFile(S("FILE:///srv/site.xml")), S("/srv/site.xml"));
    EXPECT_EQ(LocationToLocalFile(S("http://h/site.xml")), GetDataDir() + S("h_site.xml"));
}

TEST(Locations, UrlAndTextHelpers)
{
    EXPECT_EQ(ExtractUrlFileExt(S("http://h.com/a.b/file.ov2?x=1.2")), S(".ov2"));
    EXPECT_EQ(ExtractUrlFileExt(S("http://h.com/file")), QString()) << "the host's dot is no extension";
    EXPECT_EQ(ExtractUrlFileExt(S("file.tar.gz")), S(".gz"));
    EXPECT_EQ(ExtractUrlScheme(S("http://h/x://y")), S("http://"));
    EXPECT_EQ(ExtractUrlScheme(S("/local/path")), QString());
    EXPECT_EQ(EncodeUrlSpaces(S("http://h/a b  c?q=x y")), S("http://h/a%20b%20%20c?q=x%20y"));
    EXPECT_EQ(EscapeSingleQuotes(S("it's 'x'")), S("it\\'s \\'x\\'"));
    EXPECT_EQ(StripLineBreaks(S(" \t a\r\nb\n \x01")), S("ab"));
    EXPECT_EQ(StripTrailingBackslash(S("\\")), S("\\"));
    EXPECT_EQ(StripTrailingBackslash(S("\\My Documents\\")), S("\\My Documents"));
    EXPECT_EQ(StripTrailingBackslash(S("\\My Documents")), S("\\My Documents"));
    EXPECT_EQ(StripTrailingBackslash(QString()), QString());
    EXPECT_EQ(IncludeLeadingBackslash(S("a\\b")), S("\\a\\b"));
    EXPECT_EQ(IncludeLeadingBackslash(S("\\a")), S("\\a"));
}

TEST(Locations, ParseVersionNumbers)
{
    using V = std::array<int, 4>;
    EXPECT_EQ(ParseVersionNumbers(S("5.2")), (V{5, 2, -1, -1}));
    EXPECT_EQ(ParseVersionNumbers(S("1.0.0.17")), (V{1, 0, 0, 17}));
    EXPECT_EQ(ParseVersionNumbers(S("1.2.3.4.5")), (V{1, 2, 3, 4})) << "parts after the fourth are ignored";
    EXPECT_EQ(ParseVersionNumbers(S("7")), (V{7, -1, -1, -1}));
    EXPECT_EQ(ParseVersionNumbers(QString()), (V{-1, -1, -1, -1}));
    for (const char* bad : {"1.x", "1..2", "1.2b", "a"})
        EXPECT_THROW(ParseVersionNumbers(S(bad)), EConvertError) << bad;
}

TEST(Locations, TimeStampRecordIsGolden)
{
    const QDateTime time(QDate(2024, 3, 5), QTime(13, 45, 30, 250));
    // 49530250 ms since midnight, day 738950 counted from 1 January of the year 1.
    EXPECT_BYTES_EQ(std::string("\x8a\xc5\xf3\x02\x86\x46\x0b\x00", 8), EncodeTimeStamp(time));
    EXPECT_EQ(DecodeTimeStamp(EncodeTimeStamp(time)), time);
    EXPECT_BYTES_EQ(std::string("\x00\x00\x00\x00\x01\x00\x00\x00", 8), EncodeTimeStamp(QDateTime(QDate(1, 1, 1), QTime(0, 0))));
    EXPECT_FALSE(DecodeTimeStamp(std::string("\xff\xff\xff\xff\x01\x00\x00\x00", 8)).isValid()) << "no time of day";
    EXPECT_FALSE(DecodeTimeStamp(std::string(8, '\0')).isValid()) << "day 0 is no date";
}

TEST(Locations, TimeStampFiles)
{
    QTemporaryDir dir;
    const QString file = dir.filePath(S("a.ov2.inf"));
    const QDateTime time(QDate(2009, 12, 31), QTime(23, 59, 59, 999));
    WriteTimeStampFile(file, time);
    EXPECT_EQ(QFileInfo(file).size(), 8);
    EXPECT_EQ(ReadTimeStampFile(file), time);
    WriteAll(file, QByteArray(7, '\x01'));
    EXPECT_FALSE(ReadTimeStampFile(file).isValid()) << "a short side file is no time, not an error";
    EXPECT_THROW(ReadTimeStampFile(dir.filePath(S("missing.inf"))), EInOutError);
    EXPECT_THROW(WriteTimeStampFile(dir.filePath(S("no/such/folder.inf")), time), EInOutError);
}

TEST(Locations, LocalTextGetsCrLfLinesAndFilePrefixIsStripped)
{
    QTemporaryDir dir;
    const QString path = dir.filePath(S("a.txt"));
    const std::pair<std::string, std::string> cases[] = {
        {"a\nb", "a\r\nb\r\n"},
        {"a\r\n", "a\r\n"},
        {"a\r\rb\n\n", "a\r\n\r\nb\r\n\r\n"},
        {"", ""},
    };
    for (const auto& [text, stored] : cases) {
        for (const QString& location : {path, S("FILE://") + path, S("file://") + path}) {
            SaveTextToLocation(text, location);
            EXPECT_BYTES_EQ(stored, ReadAll(path).toStdString());
            EXPECT_TRUE(LocationExists(location));
            EXPECT_BYTES_EQ(stored, LoadTextFromLocation(location));
        }
    }
    WriteAll(path, "x\ny");
    EXPECT_BYTES_EQ(std::string("x\r\ny\r\n"), LoadTextFromLocation(path)) << "loading rejoins the lines too";

    SaveStreamToLocation(S("FILE://") + path, TMemoryStream(std::string("\x00\n\r", 3)));
    EXPECT_EQ(ReadAll(path), QByteArray("\x00\n\r", 3)) << "a stream is stored unchanged";

    EXPECT_FALSE(LocationExists(dir.path())) << "a folder is no file";
    try {
        LoadTextFromLocation(S("FILE://") + dir.filePath(S("none.txt")));
        FAIL();
    } catch (const ETarvellError& e) {
        EXPECT_EQ(e.Message(), S("File FILE://%1 not found").arg(dir.filePath(S("none.txt"))));
    }
    EXPECT_THROW(SaveTextToLocation("x", dir.filePath(S("no/such/a.txt"))), EInOutError);
}

class AtomicFile : public ::testing::Test {
protected:
    void TearDown() override { SetAtomicFileFaultHook({}); }
    QTemporaryDir Dir;
};

TEST_F(AtomicFile, FailureBeforeRenameKeepsTheOldFile)
{
    const QString path = Dir.filePath(S("pois.ov2"));
    WriteAll(path, "old");
    SetAtomicFileFaultHook([](const QString&) { throw ETarvellError(S("injected")); });
    EXPECT_THROW(SaveStreamToLocation(path, TMemoryStream(std::string("new content"))), ETarvellError);
    EXPECT_THROW(SaveTextToLocation("new", path), ETarvellError);
    EXPECT_THROW(WriteTimeStampFile(path, QDateTime::currentDateTime()), ETarvellError);
    EXPECT_EQ(ReadAll(path), QByteArray("old"));
    EXPECT_EQ(QDir(Dir.path()).entryList(QDir::Files | QDir::Hidden), QStringList{S("pois.ov2")}) << "no temporary left";
    SetAtomicFileFaultHook({});
    SaveTextToLocation("new", path);
    EXPECT_EQ(ReadAll(path), QByteArray("new\r\n"));
}

TEST_F(AtomicFile, KilledBetweenWriteAndRenameKeepsTheOldFile)
{
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    const QString path = Dir.filePath(S("pois.ov2"));
    WriteAll(path, "old");
    EXPECT_EXIT(
        {
            SetAtomicFileFaultHook([](const QString&) { _exit(7); });
            SaveBytesToFile(path, std::string(100000, 'n'));
        },
        ::testing::ExitedWithCode(7), "");
    EXPECT_EQ(ReadAll(path), QByteArray("old"));
}

// Run in a child: the limit and the ignored signal stay there. Exit code 3 when the error names
// the file and the cause.
// With a source, the file is copied there instead of saved.
[[noreturn]] static void SaveOverTheFileSizeLimit(const QString& path, const QString& copiedFrom = {})
{
    std::signal(SIGXFSZ, SIG_IGN);
    const rlimit limit { 65536, 65536 };
    setrlimit(RLIMIT_FSIZE, &limit);
    if (!copiedFrom.isEmpty()) {
        QString failure;
        const bool copied = CopyFileWithProgress(copiedFrom, path, {}, &failure);
        std::fprintf(stderr, "%s\n", failure.toUtf8().constData());
        _exit(!copied && failure.contains(ErrnoText(EFBIG)) ? 3 : 4);
    }
    try {
        SaveBytesToFile(path, std::string(200000, 'n'));
    } catch (const EInOutError& e) {
        std::fprintf(stderr, "%s\n", e.Message().toUtf8().constData());
        const bool named = e.Message().contains(path) && e.Message().contains(ErrnoText(EFBIG))
                           && !e.Message().contains(S("Unknown error"));
        _exit(named ? 3 : 4);
    }
    _exit(5);
}

TEST_F(AtomicFile, WriteOverTheFileSizeLimitNamesTheCauseAndKeepsTheOldFile)
{
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    const QString path = Dir.filePath(S("pois.ov2"));
    WriteAll(path, "old");
    EXPECT_EXIT(SaveOverTheFileSizeLimit(path), ::testing::ExitedWithCode(3), "");
    EXPECT_EQ(ReadAll(path), QByteArray("old"));
    EXPECT_EQ(QDir(Dir.path()).entryList(QDir::Files | QDir::Hidden), QStringList{S("pois.ov2")}) << "no temporary left";
    // A copy says why it failed too, and keeps the old file.
    const QString big = Dir.filePath(S("big.bmp"));
    WriteAll(big, QByteArray(200000, 'b'));
    const QString copy = Dir.filePath(S("pois.bmp"));
    WriteAll(copy, "old");
    EXPECT_EXIT(SaveOverTheFileSizeLimit(copy, big), ::testing::ExitedWithCode(3), "");
    EXPECT_EQ(ReadAll(copy), QByteArray("old"));
}

TEST(Locations, FileFailureReasonTakesTheCauseFromErrnoWhenQtHasNone)
{
    QFile untouched(S("/nonexistent/never-opened"));
    EXPECT_EQ(FileFailureReason(untouched, ENOSPC), ErrnoText(ENOSPC));
    EXPECT_EQ(FileFailureReason(untouched, EFBIG), ErrnoText(EFBIG));
    EXPECT_NE(ErrnoText(EFBIG), ErrnoText(ENOSPC));
    QFile missing(S("/nonexistent/file"));
    ASSERT_FALSE(missing.open(QIODevice::ReadOnly));
    EXPECT_EQ(FileFailureReason(missing, EFBIG), missing.errorString()) << "Qt's own specific text wins";
    QFile full(S("/dev/full"));
    if (full.open(QIODevice::WriteOnly | QIODevice::Unbuffered)) {
        errno = 0;
        EXPECT_NE(full.write("x", 1), 1);
        // Qt names this one itself (in its own words, whatever the system's language).
        EXPECT_EQ(FileFailureReason(full, errno), full.errorString());
        EXPECT_NE(full.errorString(), S("Unknown error"));
    }
}

TEST_F(AtomicFile, OnlyARegularFileIsReplaced)
{
    const QString pipe = Dir.filePath(S("pipe"));
    ASSERT_EQ(mkfifo(QFile::encodeName(pipe).constData(), 0600), 0);
    ASSERT_TRUE(QDir(Dir.path()).mkdir(S("folder")));
    const QString pipeLink = Dir.filePath(S("pipe.ov2"));
    const QString folderLink = Dir.filePath(S("folder.ov2"));
    ASSERT_TRUE(QFile::link(pipe, pipeLink));
    ASSERT_TRUE(QFile::link(Dir.filePath(S("folder")), folderLink));
    const QString source = Dir.filePath(S("source.ov2"));
    WriteAll(source, "source");
    for (const QString& target : { pipe, pipeLink, folderLink, Dir.filePath(S("folder")) }) {
        SCOPED_TRACE(target.toStdString());
        try {
            SaveBytesToFile(target, "new");
            ADD_FAILURE() << "written";
        } catch (const EInOutError& e) {
            EXPECT_TRUE(e.Message().contains(target)) << e.Message().toStdString();
            EXPECT_TRUE(e.Message().contains(S("not a regular file"))) << e.Message().toStdString();
        }
        EXPECT_FALSE(CopyFileWithProgress(source, target));
    }
    struct stat st {};
    ASSERT_EQ(stat(QFile::encodeName(pipe).constData(), &st), 0);
    EXPECT_TRUE(S_ISFIFO(st.st_mode)) << "the pipe is still a pipe";
    EXPECT_TRUE(QFileInfo(pipeLink).isSymLink());
    // A link to a regular file writes through to that file and stays a link.
    const QString real = Dir.filePath(S("real.ov2"));
    const QString realLink = Dir.filePath(S("real-link.ov2"));
    WriteAll(real, "old");
    ASSERT_TRUE(QFile::link(real, realLink));
    SaveBytesToFile(realLink, "new");
    EXPECT_EQ(ReadAll(real), QByteArray("new"));
    EXPECT_TRUE(QFileInfo(realLink).isSymLink());
}

TEST(Locations, Folders)
{
    QTemporaryDir dir;
    const QByteArray oldData = qgetenv("XDG_DATA_HOME");
    const QString exe = dir.filePath(S("bin/tarvell"));
    QDir().mkpath(dir.filePath(S("bin")));
    SetExecutablePathOverride(exe);
    ResetPortableCache();
    ResetDataDirCache();
    qputenv("XDG_DATA_HOME", dir.filePath(S("data")).toLocal8Bit());
    EXPECT_EQ(GetAppDir(), dir.filePath(S("bin/")));
    EXPECT_EQ(GetDataDir(), dir.filePath(S("data/Tarvell/")));
    EXPECT_TRUE(QFileInfo(dir.filePath(S("data/Tarvell"))).isDir()) << "created with its parents";
    qputenv("XDG_DATA_HOME", dir.filePath(S("other")).toLocal8Bit());
    EXPECT_EQ(GetDataDir(), dir.filePath(S("data/Tarvell/"))) << "worked out once";

    WriteAll(dir.filePath(S("bin/portable.ini")), "");
    ResetPortableCache();
    ResetDataDirCache();
    EXPECT_EQ(GetDataDir(), GetAppDir()) << "portable: the application folder";

    SetExecutablePathOverride(QString());
    ResetPortableCache();
    ResetDataDirCache();
    qputenv("XDG_DATA_HOME", oldData);
    EXPECT_TRUE(GetTempDir().endsWith(QChar('/')));
}

TEST(Locations, TempFilesAreNewAndEmpty)
{
    const QString a = MakeTempFileWithExt(S(".tmp"));
    const QString b = MakeTempFileWithExt(S(".tmp"));
    EXPECT_NE(a, b);
    for (const QString& name : {a, b}) {
        const QFileInfo info(name);
        EXPECT_TRUE(info.isFile());
        EXPECT_EQ(info.size(), 0);
        EXPECT_TRUE(info.fileName().startsWith(S("TMP"))) << name.toStdString();
        EXPECT_EQ(info.suffix(), S("tmp"));
        EXPECT_EQ(info.absolutePath() + QChar('/'), GetTempDir());
        QFile::remove(name);
    }
}

TEST(Locations, FileSizeAndTimeOfFirstMatch)
{
    QTemporaryDir dir;
    WriteAll(dir.filePath(S("b.ov2")), "12345");
    WriteAll(dir.filePath(S("a.ov2")), "123");
    const QDateTime odd(QDate(2020, 6, 1), QTime(10, 20, 31, 700));
    {
        QFile f(dir.filePath(S("a.ov2")));
        ASSERT_TRUE(f.open(QIODevice::ReadWrite));
        ASSERT_TRUE(f.setFileTime(odd, QFileDevice::FileModificationTime));
    }
    EXPECT_EQ(GetFileSizeByName(dir.filePath(S("b.ov2"))), 5);
    EXPECT_EQ(GetFileSizeByName(dir.filePath(S("*.ov2"))), 3) << "first in name order";
    EXPECT_EQ(GetFileSizeByName(dir.filePath(S("?.txt"))), 0);
    EXPECT_EQ(GetFileLastWriteTime(dir.filePath(S("a.ov2"))), QDateTime(QDate(2020, 6, 1), QTime(10, 20, 30)))
        << "two-second resolution";
    EXPECT_FALSE(GetFileLastWriteTime(dir.filePath(S("none"))).isValid());
}

TEST(Locations, CopyFileWithProgress)
{
    QTemporaryDir dir;
    const QString source = dir.filePath(S("src.bin"));
    const QString destination = dir.filePath(S("dst.bin"));
    QByteArray bytes(40000, '\0');
    for (int i = 0; i < bytes.size(); ++i)
        bytes[i] = char(i * 7);
    WriteAll(source, bytes);
    const QDateTime stamp(QDate(2015, 1, 2), QTime(3, 4, 6));
    {
        QFile f(source);
        ASSERT_TRUE(f.open(QIODevice::ReadWrite));
        ASSERT_TRUE(f.setFileTime(stamp, QFileDevice::FileModificationTime));
    }
    WriteAll(destination, "previous");
    std::vector<int> reported;
    const auto record = [&](int percent) { reported.push_back(percent); };
    EXPECT_TRUE(CopyFileWithProgress(source, destination, record));
    EXPECT_EQ(reported, (std::vector<int>{40, 81, 100}));
    EXPECT_EQ(ReadAll(destination), bytes);
    EXPECT_EQ(QFileInfo(destination).lastModified(), stamp) << "the copy keeps the source's date";

    reported.clear();
    WriteAll(source, "");
    EXPECT_TRUE(CopyFileWithProgress(source, destination, record));
    EXPECT_EQ(reported, std::vector<int>{100}) << "an empty file is all done";
    EXPECT_EQ(QFileInfo(destination).size(), 0);

    WriteAll(source, "keep me");
    EXPECT_FALSE(CopyFileWithProgress(source, source)) << "never onto itself";
    EXPECT_FALSE(CopyFileWithProgress(source, dir.filePath(S("./src.bin"))));
    EXPECT_EQ(ReadAll(source), QByteArray("keep me"));
    EXPECT_FALSE(CopyFileWithProgress(dir.filePath(S("missing")), dir.filePath(S("new.bin"))));
    EXPECT_FALSE(QFileInfo::exists(dir.filePath(S("new.bin")))) << "nothing created";
    EXPECT_FALSE(CopyFileWithProgress(source, dir.filePath(S("no/such/dst.bin")))) << "destination cannot be created";
}

// Stands in for the download unit behind "HTTP://" locations.
class TWebStandIn : public TWebLocationHandler {
public:
    QStringList Asked;
    bool Exists(const QString& address) override
    {
        Asked << address;
        return address.endsWith(S(".xml"));
    }
    std::string LoadText(const QString& address) override
    {
        Asked << address;
        return "<pois/>";
    }
};

TEST(Locations, WebLocationsGoToTheRegisteredHandler)
{
    const QString address = S("http://example.com/site.xml");
    EXPECT_FALSE(LocationExists(address)) << "no handler: looked up locally";
    EXPECT_THROW(LoadTextFromLocation(address), ETarvellError);
    TWebStandIn web;
    SetWebLocationHandler(&web);
    EXPECT_TRUE(LocationExists(address));
    EXPECT_FALSE(LocationExists(S("HTTP://example.com/none")));
    EXPECT_EQ(LoadTextFromLocation(address), "<pois/>");
    EXPECT_EQ(web.Asked, (QStringList{address, S("HTTP://example.com/none"), address, address}));
    SetWebLocationHandler(nullptr);
}

} // namespace

TEST(Locations, VisibleFileNamesShowEveryByteAndNoHiddenCharacter)
{
    const struct {
        QByteArray bytes;
        QString shown;
    } cases[] = {
        {"plain.ov2", "plain.ov2"},
        {"M\xC3\xBCnchen.ov2", QString::fromUtf8("M\xC3\xBCnchen.ov2")},
        {"rtl\xE2\x80\xAE" "evil.ov2", "rtl\\u202Eevil.ov2"},
        {"a\tb\nc.ov2", "a\\u0009b\\u000Ac.ov2"},
        {"latin\xFC.ov2", "latin\\xFC.ov2"},
        {"cut\xC3", "cut\\xC3"},
        {"overlong\xC0\xAF", "overlong\\xC0\\xAF"},
        {"surrogate\xED\xA0\x80", "surrogate\\xED\\xA0\\x80"},
        {"back\\slash", "back\\\\slash"},
        {"zero\xE2\x80\x8Bwidth", "zero\\u200Bwidth"},
        {"\xF0\x9F\x97\xBA map", QString::fromUtf8("\xF0\x9F\x97\xBA map")},
        {"tag\xF3\xA0\x81\x81" "1.ov2", "tag\\U000E00411.ov2"},
        {"arabic\xD8\x80sign", "arabic\\u0600sign"},
        {"isolate\xE2\x81\xA6x", "isolate\\u2066x"},
    };
    for (const auto& c : cases)
        EXPECT_EQ(VisibleFileName(c.bytes), c.shown) << c.bytes.toHex().constData();
    // Two names that differ only in hidden bytes never look alike.
    EXPECT_NE(VisibleFileName("a\xFF"), VisibleFileName("a\xFE"));
    EXPECT_NE(VisibleFileName("a\\xFF"), VisibleFileName("a\xFF"));
}

// Device names keep their bytes: a name that is not UTF-8 decodes to a text that encodes back to
// exactly those bytes, and shows as VisibleFileName shows them.
TEST(Locations, DeviceNamesLeadBackToTheirBytes)
{
    const struct {
        QByteArray bytes;
        QString shown;
    } cases[] = {
        {"plain.ov2", "plain.ov2"},
        {"M\xC3\xBCnchen.ov2", QString::fromUtf8("M\xC3\xBCnchen.ov2")},
        {"latin\xFC.ov2", "latin\\xFC.ov2"},
        {"\xFF\xFE", "\\xFF\\xFE"},
        {"rtl\xE2\x80\xAE" "evil.ov2", "rtl\\u202Eevil.ov2"},
        {"surrogate\xED\xA0\x80", "surrogate\\xED\\xA0\\x80"},
        {"\xF0\x9F\x97\xBA map", QString::fromUtf8("\xF0\x9F\x97\xBA map")},
    };
    for (const auto& c : cases) {
        const QString name = DeviceNameFromBytes(c.bytes);
        EXPECT_EQ(DeviceNameToBytes(name), c.bytes) << c.bytes.toHex().constData();
        EXPECT_EQ(VisibleDeviceName(name), c.shown) << c.bytes.toHex().constData();
    }
    EXPECT_NE(DeviceNameFromBytes("a\xFF"), DeviceNameFromBytes("a\xFE"));
    EXPECT_EQ(VisibleDevicePath(QString::fromUtf8("\\Maps\\rtl\xE2\x80\xAE" "evil\\")), S("\\Maps\\rtl\\u202Eevil\\"));
}
