// Tests of the converter framework with converters made for the test.
#include "formats/uConvertBase.h"

#include "core/uStream.h"
#include "formats/uFormats.h"
#include "model/uModel.h"
#include "support/OptionSupport.h"
#include "support/TestSupport.h"

namespace {

template <int N>
class TFakeTo : public TConvertToBase {
public:
    QString FormatID() const override { return QStringLiteral("fake%1").arg(N); }
    void Convert(TEntries& entries, TMemoryStream& stream) override
    {
        for (int i = 0; i < entries.Count(); ++i)
            stream.Write(std::string(entries[i].GetDescription()) + "\n");
    }
};

template <int N>
class TFakeFrom : public TConvertFromBase {
public:
    QString FormatID() const override { return QStringLiteral("fake%1").arg(N); }
    void Convert(TEntries& entries, TMemoryStream& stream) override
    {
        const std::string text = ReadStreamString(stream, -1);
        size_t start = 0;
        while (start < text.size()) {
            const size_t end = text.find('\n', start);
            const std::string line = text.substr(start, end - start);
            if (line == "bad")
                throw EUserError(QStringLiteral("bad line"));
            entries.Add(line, "", 0, 0);
            start = end == std::string::npos ? text.size() : end + 1;
        }
    }
};

class TOptioned : public TConvertToBase {
public:
    QString FormatID() const override { return QStringLiteral("opt"); }
    void Convert(TEntries&, TMemoryStream&) override {}
    int Precision() const override { return ReadBoolOption(0) ? 5 : ReadIntegerOption(1); }

protected:
    std::span<const TOptionInfo> Options() const override
    {
        static const TOptionInfo table[] = {
            {"test", "Use global", "help 0", TOptionKind::okBoolean, 0},
            {"test", "Precision", "help 1", TOptionKind::okInteger, 5, 0, 10},
        };
        return table;
    }
    TMissingOption MissingOption() const override { return TMissingOption::Raise; }
};

// Each test builds its own registries and gives the program's back at the end.
class Registry : public MemoryOptionsTest {
protected:
    void SetUp() override
    {
        UnregisterAllFormats();
        TConvertToBase::RegisterFormat<TFakeTo<1>>(QStringLiteral("One"), QStringLiteral("csv"));
        TConvertToBase::RegisterFormat<TFakeTo<2>>(QStringLiteral("Two"), QStringLiteral("asc"));
        TConvertToBase::RegisterFormat<TFakeTo<3>>(QStringLiteral("Three"), QStringLiteral("csv"), TRegisterPosition::rpBeforeExtension);
        TConvertToBase::RegisterFormat<TFakeTo<0>>(QStringLiteral("Zero"), QStringLiteral("ov2"), TRegisterPosition::rpFirst);
        TConvertFromBase::RegisterFormat<TFakeFrom<1>>(QStringLiteral("One"), QStringLiteral("csv"));
        TConvertFromBase::RegisterFormat<TFakeFrom<2>>(QStringLiteral("Two"), QStringLiteral("csv"));
        TConvertFromBase::RegisterFormat<TFakeFrom<4>>(QStringLiteral("Four"), QStringLiteral("gdb"), TRegisterPosition::rpBeforeExtension);
    }
    void TearDown() override
    {
        UnregisterAllFormats();
        RegisterAllFormats();
    }
};

TEST_F(Registry, PlacementAndLookup)
{
    ASSERT_EQ(TConvertToBase::FormatCount(), 4);
    // rpFirst goes to the front; rpBeforeExtension lands before the first csv row
    EXPECT_EQ(TConvertToBase::FormatIDAt(0), QStringLiteral("fake0"));
    EXPECT_EQ(TConvertToBase::FormatIDAt(1), QStringLiteral("fake3"));
    EXPECT_EQ(TConvertToBase::FormatIDAt(2), QStringLiteral("fake1"));
    EXPECT_EQ(TConvertToBase::FormatIDAt(3), QStringLiteral("fake2"));
    // no earlier gdb row: appended
    EXPECT_EQ(TConvertFromBase::FormatIDAt(2), QStringLiteral("fake4"));

    struct {
        const char* Ext;
        const char* Id;
        int Row;
    } cases[] = {
        {".CSV", "FAKE1", 2}, {"csv", "", 1}, {"csv", "nosuch", 1}, {"xyz", "", -1}, {".ov2", "", 0}, {"", "", -1},
    };
    for (const auto& c : cases)
        EXPECT_EQ(TConvertToBase::IndexOf(QString::fromLatin1(c.Ext), QString::fromLatin1(c.Id)), c.Row) << c.Ext << " " << c.Id;
    EXPECT_EQ(TConvertToBase::FilterIndex(QStringLiteral("xyz"), QString()), 1);
    EXPECT_EQ(TConvertToBase::FilterIndex(QStringLiteral("csv"), QStringLiteral("fake1")), 3);
    EXPECT_EQ(TConvertToBase::IndexOfFormatID(QStringLiteral("FAKE2")), 3);
    EXPECT_EQ(TConvertFromBase::CountForExtension(QStringLiteral(".csv")), 2);
    EXPECT_TRUE(TConvertFromBase::HandlesExtension(0, QStringLiteral(".CSV")));
    EXPECT_FALSE(TConvertFromBase::HandlesExtension(2, QStringLiteral("csv")));

    QString text = QStringLiteral("kept");
    TConvertToBase::DescriptionOf(QStringLiteral("xyz"), QString(), text);
    EXPECT_EQ(text, QStringLiteral("kept"));
    TConvertToBase::DescriptionOf(QStringLiteral("asc"), QString(), text);
    EXPECT_EQ(text, QStringLiteral("Two"));
}

TEST_F(Registry, OutOfRangeRowsAnswerEmpty)
{
    for (int i : {-1, 4, 1000}) {
        EXPECT_EQ(TConvertToBase::Description(i), QString());
        EXPECT_EQ(TConvertToBase::Extension(i), QString());
        EXPECT_EQ(TConvertToBase::FormatIDAt(i), QString());
        EXPECT_THROW(TConvertToBase::CreateConverterAt(i), EAssertionFailed);
    }
    EXPECT_EQ(TConvertFromBase::ConverterClass(3), nullptr);
    EXPECT_EQ(TConvertFromBase::FormatIDAt(99), QString());
    EXPECT_FALSE(TConvertFromBase::HandlesExtension(-1, QStringLiteral("csv")));
}

TEST_F(Registry, RegistrationErrorsAndUnregister)
{
    EXPECT_THROW(TConvertToBase::RegisterFormat<TFakeTo<9>>(QStringLiteral("Bad"), QStringLiteral("a=b")), EAssertionFailed);
    EXPECT_THROW(TConvertToBase::RegisterFormat<TFakeTo<9>>(QStringLiteral("Bad"), QStringLiteral("x"), TRegisterPosition(7)), EEnumError);
    TConvertToBase::UnregisterFormat<TFakeTo<1>>();
    EXPECT_EQ(TConvertToBase::FormatCount(), 3);
    EXPECT_EQ(TConvertToBase::IndexOfFormatID(QStringLiteral("fake1")), -1);
}

TEST_F(Registry, FiltersAndLists)
{
    QStringList lines;
    FillExporterList(lines);
    EXPECT_EQ(lines, (QStringList{QStringLiteral("Zero (*.ov2)"), QStringLiteral("Three (*.csv)"), QStringLiteral("One (*.csv)"),
                                  QStringLiteral("Two (*.asc)")}));
    EXPECT_EQ(GetExportFilter(), QStringLiteral("Zero (*.ov2)|*.ov2|Three (*.csv)|*.csv|One (*.csv)|*.csv|Two (*.asc)|*.asc"));
    EXPECT_EQ(GetOpenFilter(), QStringLiteral("All supported filetypes (*.csv;*.csv;*.gdb)|*.csv;*.csv;*.gdb|"
                                              "One (*.csv)|*.csv|Two (*.csv)|*.csv|Four (*.gdb)|*.gdb|All files (*.*)|*.*"));
    const QStringList qt = GetOpenNameFilters();
    ASSERT_EQ(qt.size(), 5) << "importer row r keeps filter index r + 2 (1-based)";
    EXPECT_EQ(qt[0], QStringLiteral("All supported filetypes (*.csv *.CSV *.gdb *.GDB)"));
    EXPECT_EQ(qt[3], QStringLiteral("Four (*.gdb *.GDB)"));
    EXPECT_EQ(qt[4], QStringLiteral("All files (*)"));
}

TEST_F(Registry, LoadSaveThroughRegistry)
{
    TEntries list;
    TMemoryStream in(std::string("a\nb\nbad\nc\n"));
    EXPECT_THROW(list.LoadFromStream(in, QStringLiteral("csv"), QStringLiteral("fake2"), false), EUserError);
    ASSERT_EQ(list.Count(), 2) << "entries read before the failure stay";
    EXPECT_TRUE(list[0].IpDeparture);

    TMemoryStream more(std::string("d\n"));
    list.LoadFromStream(more, QStringLiteral("csv"), QString(), true);
    ASSERT_EQ(list.Count(), 3);
    EXPECT_FALSE(list[2].IpDeparture) << "an appended file adds no second departure";

    TMemoryStream out;
    list.SaveToStream(out, QStringLiteral(".csv"), QStringLiteral("fake1"));
    EXPECT_EQ(out.Data(), "a\nb\nd\n");
    EXPECT_THROW(list.SaveToStream(out, QStringLiteral("gdb"), QString()), EUserError);
}

TEST_F(Registry, OptionsDefaultPersistAndRangeCheck)
{
    TOptioned conv;
    EXPECT_EQ(conv.OptionCount(), 2);
    EXPECT_EQ(conv.OptionSection(), QStringLiteral("Exporters\\opt"));
    EXPECT_EQ(conv.OptionCaption(1), QStringLiteral("Precision"));
    EXPECT_EQ(conv.OptionKind(1), TOptionKind::okInteger);
    EXPECT_EQ(std::get<int>(conv.OptionDefault(1)), 5);
    EXPECT_THROW(conv.OptionCaption(2), ETarvellError);
    EXPECT_FALSE(conv.ReadBoolOption(0)) << "never written: the default";
    EXPECT_EQ(conv.Precision(), 5);
    conv.WriteIntegerOption(1, 3);
    EXPECT_EQ(TOptioned().Precision(), 3) << "a written value is read back at once by a new instance";
    conv.WriteIntegerOption(1, 11);
    EXPECT_EQ(conv.ReadIntegerOption(1), 5) << "out of range falls back to the default";
    conv.WriteBoolOption(0, true);
    EXPECT_EQ(conv.Precision(), 5);

    TFakeTo<1> plain;
    EXPECT_EQ(plain.OptionCount(), 0);
    try {
        plain.OptionCaption(0);
        FAIL();
    } catch (const EAssertionFailed& e) {
        EXPECT_TRUE(e.Message().contains(QStringLiteral("uConvertBase, line 390"))) << e.what();
    }
}

TEST(ConvertProgress, FiresOnlyOnWholePercentChange)
{
    TFakeFrom<1> conv;
    std::vector<int> seen;
    conv.OnProgress = [&](int p) { seen.push_back(p); };
    conv.SetProgress(0);
    conv.SetProgress(12.9);
    conv.SetProgress(12.1);
    conv.SetProgress(13);
    EXPECT_EQ(seen, (std::vector<int>{12, 13}));
}

} // namespace
