// The plug-in loader over real shared objects: what it finds and in which order, which plug-ins it
// refuses with which message, the calls that fail afterwards, and the parameters in the store.
#include "PluginTestSupport.h"

#include "core/uSettingsStore.h"

#include <QFileInfo>

#include <gtest/gtest.h>

#include <cstring>
#include <sys/mman.h>
#include <unistd.h>

namespace {

QStringList Names(const TPluginList& list)
{
    QStringList names;
    for (int i = 0; i < list.Count(); ++i)
        names << list.Items(i)->GetPlugInName();
    return names;
}

QByteArray ReadAll(const QString& path)
{
    QFile file(path);
    file.open(QIODevice::ReadOnly);
    return file.readAll();
}

} // namespace

TEST(LoadPlugins, FindsSharedObjectsSortedIgnoringCase)
{
    TPluginFolder folder;
    for (const char* name : { "b.so", "A.so", ".hidden.so", "C.so" })
        folder.Copy(QStringLiteral("external"), QString::fromLatin1(name));
    // Not plug-ins: another extension, an upper-case one, a folder named like one.
    folder.Copy(QStringLiteral("external"), QStringLiteral("notes.txt"));
    folder.Copy(QStringLiteral("external"), QStringLiteral("upper.SO"));
    QDir(folder.Folder(TPluginKind::OpenExternal)).mkdir(QStringLiteral("folder.so"));
    TPluginList list;
    LoadPlugins(list, TPluginKind::OpenExternal, folder.Options(TPluginKind::OpenExternal));
    EXPECT_EQ(Names(list), QStringList({ ".hidden", "A", "b", "C" }));
    EXPECT_EQ(folder.Warnings, QStringList());
    EXPECT_EQ(list.Items(0)->Kind(), TPluginKind::OpenExternal);
    EXPECT_NE(list.ItemAs<TPluginOpenExternal>(0), nullptr);
    EXPECT_EQ(list.Find(QStringLiteral("c")), list.Items(3));
}

TEST(LoadPlugins, EmptyAndMissingFoldersLoadNothing)
{
    TPluginFolder folder;
    TPluginList list;
    LoadPlugins(list, TPluginKind::HtmlEmbed, folder.Options(TPluginKind::HtmlEmbed));
    auto options = folder.Options(TPluginKind::OpenExternal);
    options.Folder = folder.AppDir() + QStringLiteral("nowhere/");
    LoadPlugins(list, TPluginKind::OpenExternal, options);
    EXPECT_EQ(list.Count(), 0);
    EXPECT_EQ(folder.Warnings, QStringList());
}

struct TRefusalCase {
    const char* Name;
    // A built test plug-in, or "!notelf", "!truncated" (in the headers), "!truncatedsegments" (its
    // headers whole, its code cut off) or "!elf32" for files made from one.
    const char* Source;
    TPluginKind Kind;
    // What the one warning starts with and contains; %1 = the file name.
    const char* Starts;
    const char* Contains;
};

void PrintTo(const TRefusalCase& c, std::ostream* os) { *os << c.Name; }

class PluginRefusal : public ::testing::TestWithParam<TRefusalCase> { };

TEST_P(PluginRefusal, IsLeftOutWithItsMessage)
{
    const TRefusalCase& c = GetParam();
    TPluginFolder folder;
    const QString file = QString::fromLatin1(c.Name) + QStringLiteral(".so");
    const QByteArray real = ReadAll(BuiltTestPlugin(QStringLiteral("external")));
    const QString source = QString::fromLatin1(c.Source);
    if (source == QLatin1String("!notelf")) {
        folder.Write(file, QByteArray("This is a text file, not a library.\n").repeated(100), c.Kind);
    } else if (source == QLatin1String("!truncated")) {
        folder.Write(file, real.left(200), c.Kind);
    } else if (source == QLatin1String("!truncatedsegments")) {
        folder.Write(file, real.left(4096), c.Kind);
    } else if (source == QLatin1String("!elf32")) {
        QByteArray elf32 = real;
        elf32[4] = 1; // ELFCLASS32
        folder.Write(file, elf32, c.Kind);
    } else {
        folder.Copy(source, file, c.Kind);
    }
    // A good plug-in after the refused one still loads.
    folder.Copy(c.Kind == TPluginKind::HtmlEmbed ? QStringLiteral("html") : QStringLiteral("external"),
        QStringLiteral("zz_good.so"), c.Kind);
    TPluginList list;
    LoadPlugins(list, c.Kind, folder.Options(c.Kind));
    EXPECT_EQ(Names(list), QStringList({ "zz_good" }));
    ASSERT_EQ(folder.Warnings.size(), 1);
    const QString warning = folder.Warnings[0];
    EXPECT_TRUE(warning.startsWith(QString::fromUtf8(c.Starts).arg(file))) << warning.toStdString();
    EXPECT_TRUE(warning.contains(QString::fromUtf8(c.Contains))) << warning.toStdString();
    // A refused plug-in leaves nothing in the store.
    EXPECT_FALSE(TSettingsStore(folder.StoreFile()).SectionExists(QStringLiteral("plugins\\") + QString::fromLatin1(c.Name)));
}

constexpr TPluginKind Ext = TPluginKind::OpenExternal;
constexpr TPluginKind Html = TPluginKind::HtmlEmbed;

INSTANTIATE_TEST_SUITE_P(Table, PluginRefusal,
    ::testing::Values(
        TRefusalCase { "noauthor", "noauthor", Ext, "Invalid plugin \"%1\" found in the Tarvell plugin directory", "" },
        TRefusalCase { "authorfromdep", "authorfromdep", Ext, "Invalid plugin \"%1\"", "" },
        TRefusalCase { "notelf", "!notelf", Ext, "Error during loading plugin dll library \"%1\": ", "invalid ELF header" },
        TRefusalCase { "truncated", "!truncated", Ext, "Error during loading plugin dll library \"%1\": ", "truncated.so" },
        // The loader maps it, and touching the missing code kills the process: the trial's.
        TRefusalCase { "truncatedsegments", "!truncatedsegments", Ext, "The plugin \"%1\" crashed while it was loaded", "" },
        TRefusalCase { "elf32", "!elf32", Ext, "Error during loading plugin dll library \"%1\": ", "ELFCLASS32" },
        TRefusalCase { "needsmissing", "needsmissing", Ext, "Error during loading plugin dll library \"%1\": ", "libtvmissingdep.so" },
        TRefusalCase { "crashes", "crashes", Ext, "The plugin \"%1\" crashed while it was loaded", "" },
        TRefusalCase { "hangs", "hangs", Ext, "The plugin \"%1\" did not answer within 5 seconds", "" },
        TRefusalCase { "throwsonload", "throwsonload", Ext, "The plugin \"%1\" failed in GetPlugInName: broken on load", "" },
        TRefusalCase { "hugename", "hugename", Ext, "The plugin \"%1\" returned a text longer than 4096 bytes from GetPlugInName", "" },
        TRefusalCase { "hugecount", "hugecount", Ext, "The plugin \"%1\" reports 1073741824 parameters", "" },
        TRefusalCase { "badname", "badname", Ext, "The plugin \"%1\" uses the name \"Bad]Name\"", "" },
        TRefusalCase { "badparamname", "badparamname", Ext, "The plugin \"%1\" uses the name \"Label=x\"", "" },
        // An open-external plug-in lacks the HTML exports.
        TRefusalCase { "externalinhtml", "external", Html, "Invalid plugin \"%1\"", "" }),
    [](const auto& info) { return std::string(info.param.Name); });

TEST(LoadPlugins, SecondPluginOfOneNameIsRefusedNamingBoth)
{
    TPluginFolder folder;
    folder.Copy(QStringLiteral("external"), QStringLiteral("Same.so"));
    folder.Copy(QStringLiteral("external"), QStringLiteral("same.so"));
    folder.Copy(QStringLiteral("html"), QStringLiteral("SAME.so"), TPluginKind::HtmlEmbed);
    TPluginList external, maps;
    LoadPlugins(external, TPluginKind::OpenExternal, folder.Options(TPluginKind::OpenExternal));
    LoadPlugins(maps, TPluginKind::HtmlEmbed, folder.Options(TPluginKind::HtmlEmbed, &external));
    EXPECT_EQ(Names(external), QStringList({ "Same" }));
    EXPECT_EQ(maps.Count(), 0);
    EXPECT_EQ(folder.Warnings,
        QStringList({ "The plugin \"same.so\" has the same name \"same\" as the plugin \"Same.so\" and was left out",
            "The plugin \"SAME.so\" has the same name \"SAME\" as the plugin \"Same.so\" and was left out" }));
}

// Calls after loading: an exception becomes a user error naming the plug-in, never a crash.
TEST(PluginCalls, ExceptionsBecomeUserErrors)
{
    TPluginFolder folder;
    folder.Copy(QStringLiteral("throwingexternal"), QStringLiteral("Thrower.so"));
    folder.Copy(QStringLiteral("throwinghtml"), QStringLiteral("Page Thrower.so"), TPluginKind::HtmlEmbed);
    TPluginList external, maps;
    LoadPlugins(external, TPluginKind::OpenExternal, folder.Options(TPluginKind::OpenExternal));
    LoadPlugins(maps, TPluginKind::HtmlEmbed, folder.Options(TPluginKind::HtmlEmbed));
    ASSERT_EQ(external.Count(), 1);
    ASSERT_EQ(maps.Count(), 1);
    auto* thrower = external.ItemAs<TPluginOpenExternal>(0);
    auto* pager = maps.ItemAs<TPluginHtmlEmbed>(0);
    auto message = [](const std::function<void()>& call) {
        try {
            call();
        } catch (const EUserError& e) {
            return e.Message();
        }
        return QStringLiteral("(no error)");
    };
    EXPECT_EQ(message([&] { thrower->GotoPoi(1, 2, "x"); }),
        QStringLiteral("The plugin \"Thrower\" failed in GotoPoi: no external program"));
    EXPECT_EQ(message([&] { thrower->AddPoi(1, 2, "x", 1); }), QStringLiteral("The plugin \"Thrower\" failed in AddPoi"));
    EXPECT_EQ(message([&] { pager->GetHtml(); }),
        QStringLiteral("The plugin \"Page Thrower\" failed in GetHtml: no page today"));
}

// A text that runs into a page that cannot be read: refused naming the plug-in and the function,
// the program goes on, and the next readable answer is taken again.
TEST(PluginCalls, TextBeforeAnUnreadablePageIsRefusedNamingThePlugin)
{
    TPluginFolder folder;
    const QString pagerPath = folder.Copy(QStringLiteral("html"), QStringLiteral("Pager.so"), TPluginKind::HtmlEmbed);
    const QString mapperPath = folder.Copy(QStringLiteral("external"), QStringLiteral("Mapper.so"));
    TPluginList external, maps;
    LoadPlugins(external, TPluginKind::OpenExternal, folder.Options(TPluginKind::OpenExternal));
    LoadPlugins(maps, TPluginKind::HtmlEmbed, folder.Options(TPluginKind::HtmlEmbed));
    ASSERT_EQ(external.Count(), 1);
    ASSERT_EQ(maps.Count(), 1);
    auto* pager = maps.ItemAs<TPluginHtmlEmbed>(0);
    TPluginBase* mapper = external.Items(0);
    struct TCase {
        const QString* Path;
        const char* Function;
        std::function<void()> Call;
        QString Plugin;
    };
    const std::vector<TCase> cases {
        { &pagerPath, "GetHtml", [&] { pager->GetHtml(); }, QStringLiteral("Pager") },
        { &pagerPath, "Caption", [&] { pager->Caption(); }, QStringLiteral("Pager") },
        { &mapperPath, "GetParamValue", [&] { mapper->GetParamValue(1); }, QStringLiteral("Mapper") },
    };
    for (const TCase& c : cases) {
        SCOPED_TRACE(c.Function);
        const TTestPluginProbe probe(*c.Path);
        probe.Set("unterminated", c.Function);
        try {
            c.Call();
            ADD_FAILURE() << "no error";
        } catch (const EPluginError& e) {
            EXPECT_EQ(e.Code(), TPluginErrorCode::Unreadable);
            EXPECT_EQ(e.Message(), QStringLiteral("The plugin \"%1\" returned a text from %2 that runs into memory that cannot be read")
                                       .arg(c.Plugin, QLatin1String(c.Function)));
        }
        probe.Set("unterminated", "");
        EXPECT_NO_THROW(c.Call());
    }
    EXPECT_EQ(pager->Caption(), QStringLiteral("Pager"));
}

// The reads that cannot fault, on memory of the test's own: a text ending right before the
// unreadable page, one running into it, one longer than the limit, one over many pages.
TEST(PluginCalls, ForeignTextReadsStopAtTheTerminatorTheLimitOrTheUnreadablePage)
{
    const size_t page = size_t(sysconf(_SC_PAGESIZE));
    const size_t pages = 20;
    void* area = mmap(nullptr, (pages + 1) * page, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
    ASSERT_NE(area, MAP_FAILED);
    char* guard = static_cast<char*>(area) + pages * page;
    ASSERT_EQ(mprotect(guard, page, PROT_NONE), 0);
    memset(area, 'x', pages * page);
    EXPECT_EQ(ReadForeignText(guard - 10, 100), std::nullopt);
    EXPECT_EQ(ReadForeignText(guard - pages * page, 100000), std::nullopt);
    guard[-1] = '\0';
    EXPECT_EQ(ReadForeignText(guard - 10, 100), std::string(9, 'x'));
    EXPECT_EQ(ReadForeignText(guard - 1, 100), std::string());
    // Across all pages but the last byte: 20 pages of text, more than one chunk of reads.
    EXPECT_EQ(ReadForeignText(static_cast<char*>(area), pages * page), std::string(pages * page - 1, 'x'));
    // Longer than the limit: limit + 1 bytes, and nothing beyond is read.
    EXPECT_EQ(ReadForeignText(guard - 10, 4), std::string(5, 'x'));
    EXPECT_EQ(ReadForeignText(nullptr, 4), std::string());
    munmap(area, (pages + 1) * page);
}

TEST(PluginCalls, HtmlPluginNotOfTypeOneLoadsAndBoundsHold)
{
    TPluginFolder folder;
    const QString path = folder.Copy(QStringLiteral("htmltype0"), QStringLiteral("Plain.so"), TPluginKind::HtmlEmbed);
    TPluginList maps;
    LoadPlugins(maps, TPluginKind::HtmlEmbed, folder.Options(TPluginKind::HtmlEmbed));
    ASSERT_EQ(maps.Count(), 1);
    EXPECT_EQ(maps.Items(0)->GetPlugInType(), 0);
    EXPECT_EQ(maps.ItemAs<TPluginHtmlEmbed>(0)->Caption(), QStringLiteral("Plain"));
    const TTestPluginProbe probe(path);
    probe.Set("maxpois", "-5");
    EXPECT_EQ(maps.Items(0)->GetMaxPois(), 0);
    // A null text reads as empty.
    EXPECT_EQ(maps.Items(0)->GetParamMin(1), QString());
    probe.Set("page", std::string(MaxPluginPage + 1, 'x').c_str());
    EXPECT_THROW(maps.ItemAs<TPluginHtmlEmbed>(0)->GetHtml(), EUserError);
    probe.Set("page", std::string(1000, 'y').c_str());
    EXPECT_EQ(maps.ItemAs<TPluginHtmlEmbed>(0)->GetHtml(), std::string(1000, 'y'));
}

// Stored values reach the plug-in at load, the trial's copy saves nothing, and freeing the list
// saves every value in the plug-in's section.
TEST(PluginParameters, RestoredAtLoadAndSavedWhenFreed)
{
    TPluginFolder folder;
    {
        TSettingsStore store(folder.StoreFile());
        store.WriteString(QStringLiteral("plugins\\Mapper"), QStringLiteral("zoom"), QStringLiteral("7"));
        store.WriteString(QStringLiteral("plugins\\Mapper"), QStringLiteral("Mode"), QStringLiteral("f"));
    }
    const QString path = folder.Copy(QStringLiteral("external"), QStringLiteral("Mapper.so"));
    TPluginList list;
    LoadPlugins(list, TPluginKind::OpenExternal, folder.Options(TPluginKind::OpenExternal));
    ASSERT_EQ(list.Count(), 1);
    {
        const TTestPluginProbe probe(path);
        // Only stored values are passed; Label keeps the plug-in's own value.
        EXPECT_EQ(probe.Log(), "SetParamValue 0 7\nSetParamValue 2 f\n");
    }
    EXPECT_EQ(list.Items(0)->GetParamValue(1), QStringLiteral("abc"));
    EXPECT_FALSE(TSettingsStore(folder.StoreFile()).ValueExists(QStringLiteral("plugins\\Mapper"), QStringLiteral("Label")));
    list.Items(0)->SetParamValue(1, QStringLiteral("Caf\u00e9"));
    list.Clear();
    const TSettingsStore store(folder.StoreFile());
    EXPECT_EQ(store.ReadSection(QStringLiteral("plugins\\Mapper")), QStringList({ "zoom", "Mode", "Label" }));
    EXPECT_EQ(store.ReadString(QStringLiteral("plugins\\Mapper"), QStringLiteral("Zoom"), QString()), QStringLiteral("7"));
    EXPECT_EQ(store.ReadString(QStringLiteral("plugins\\Mapper"), QStringLiteral("Label"), QString()), QStringLiteral("Caf\u00e9"));
    EXPECT_EQ(store.ReadString(QStringLiteral("plugins\\Mapper"), QStringLiteral("Mode"), QString()), QStringLiteral("f"));
}

TEST(PluginNames, StorableNames)
{
    for (const char* good : { "Zoom", "Web map", "plugins\\x", "Caf\xc3\xa9" })
        EXPECT_TRUE(IsStorableName(QString::fromUtf8(good))) << good;
    for (const char* bad : { "", " Zoom", "Zoom ", ";Zoom", "[Zoom", "Zo]om", "a=b", "tab\there", "line\nbreak", "\x7f" })
        EXPECT_FALSE(IsStorableName(QString::fromUtf8(bad))) << bad;
}

// The helper itself: a report it cannot parse or a plain exit code is a refusal too.
TEST(PluginTrial, MissingHelperRefuses)
{
    TPluginFolder folder;
    folder.Copy(QStringLiteral("external"), QStringLiteral("Fine.so"));
    auto options = folder.Options(TPluginKind::OpenExternal);
    options.Trial = HelperProcessTrial(folder.AppDir() + QStringLiteral("no-such-helper"));
    TPluginList list;
    LoadPlugins(list, TPluginKind::OpenExternal, options);
    EXPECT_EQ(list.Count(), 0);
    ASSERT_EQ(folder.Warnings.size(), 1);
    EXPECT_TRUE(folder.Warnings[0].startsWith(QStringLiteral("The plugin \"Fine.so\" could not be tested")));
}

// The external program gets the monitor less 300 pixels; the main window the strip beside it.
TEST(PluginArrangement, PrimaryUsesTheWorkAreaOthersTheMonitor)
{
    struct TCase {
        QRect Monitor, WorkArea;
        bool Primary;
        QRect Area, Strip;
    };
    const TCase cases[] = {
        // Primary with a panel of 32 pixels at the bottom.
        { QRect(0, 0, 1920, 1080), QRect(0, 0, 1920, 1048), true, QRect(0, 0, 1620, 1048), QRect(1620, 0, 300, 1048) },
        // A second monitor to the right (its panel ignored), and one above the primary.
        { QRect(1920, 0, 1280, 1024), QRect(1920, 0, 1280, 990), false, QRect(1920, 0, 980, 1024), QRect(2900, 0, 300, 1024) },
        { QRect(0, -900, 1600, 900), QRect(0, -900, 1600, 900), false, QRect(0, -900, 1300, 900), QRect(1300, -900, 300, 900) },
        // A primary whose panel is on the left: the monitor's left still starts the area.
        { QRect(0, 0, 1024, 768), QRect(48, 0, 976, 768), true, QRect(0, 0, 676, 768), QRect(676, 0, 300, 768) },
    };
    for (const TCase& c : cases) {
        const TPluginArrangement a = PluginArrangement(c.Monitor, c.WorkArea, c.Primary);
        EXPECT_EQ(a.Area, c.Area);
        EXPECT_EQ(a.Strip, c.Strip);
    }
}
