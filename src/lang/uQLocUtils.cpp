// Interface languages.
#include "lang/uQLocUtils.h"

#include "core/uCodePage.h"
#include "core/uStream.h"

#include <QDir>
#include <QEvent>
#include <QFile>
#include <QFileInfo>
#include <QLibraryInfo>
#include <QLocale>
#include <QSaveFile>
#include <QTranslator>

namespace {

struct TLanguageName {
    uint16_t Lcid;
    const char* Name;
    const char* Abbrev;
};

// The English names and abbreviated language names of the locale documentation.
const TLanguageName LanguageTable[] = {
    { 1025, "Arabic (Saudi Arabia)", "ARA" },
    { 1026, "Bulgarian", "BGR" },
    { 1027, "Catalan", "CAT" },
    { 1028, "Chinese (Taiwan)", "CHT" },
    { 1029, "Czech", "CSY" },
    { 1030, "Danish", "DAN" },
    { 1031, "German (Germany)", "DEU" },
    { 1032, "Greek", "ELL" },
    { 1033, "English (United States)", "ENU" },
    { 1034, "Spanish (Traditional Sort)", "ESP" },
    { 1035, "Finnish", "FIN" },
    { 1036, "French (France)", "FRA" },
    { 1037, "Hebrew", "HEB" },
    { 1038, "Hungarian", "HUN" },
    { 1039, "Icelandic", "ISL" },
    { 1040, "Italian (Italy)", "ITA" },
    { 1041, "Japanese", "JPN" },
    { 1042, "Korean", "KOR" },
    { 1043, "Dutch (Netherlands)", "NLD" },
    { 1044, "Norwegian (Bokmal)", "NOR" },
    { 1045, "Polish", "PLK" },
    { 1046, "Portuguese (Brazil)", "PTB" },
    { 1048, "Romanian", "ROM" },
    { 1049, "Russian", "RUS" },
    { 1050, "Croatian", "HRV" },
    { 1051, "Slovak", "SKY" },
    { 1052, "Albanian", "SQI" },
    { 1053, "Swedish", "SVE" },
    { 1054, "Thai", "THA" },
    { 1055, "Turkish", "TRK" },
    { 1056, "Urdu", "URD" },
    { 1057, "Indonesian", "IND" },
    { 1058, "Ukrainian", "UKR" },
    { 1059, "Belarusian", "BEL" },
    { 1060, "Slovenian", "SLV" },
    { 1061, "Estonian", "ETI" },
    { 1062, "Latvian", "LVI" },
    { 1063, "Lithuanian", "LTH" },
    { 1065, "Farsi", "FAR" },
    { 1066, "Vietnamese", "VIT" },
    { 1067, "Armenian", "HYE" },
    { 1068, "Azeri (Latin)", "AZE" },
    { 1069, "Basque", "EUQ" },
    { 1071, "FYRO Macedonian", "MKI" },
    { 1078, "Afrikaans", "AFK" },
    { 1079, "Georgian", "KAT" },
    { 1080, "Faroese", "FOS" },
    { 1081, "Hindi", "HIN" },
    { 1086, "Malay (Malaysia)", "MSL" },
    { 1087, "Kazakh", "KKZ" },
    { 1088, "Kyrgyz (Cyrillic)", "KYR" },
    { 1089, "Swahili", "SWK" },
    { 1091, "Uzbek (Latin)", "UZB" },
    { 1092, "Tatar", "TTT" },
    { 1094, "Punjabi", "PAN" },
    { 1095, "Gujarati", "GUJ" },
    { 1097, "Tamil", "TAM" },
    { 1098, "Telugu", "TEL" },
    { 1099, "Kannada", "KAN" },
    { 1102, "Marathi", "MAR" },
    { 1103, "Sanskrit", "SAN" },
    { 1104, "Mongolian (Cyrillic)", "MON" },
    { 1110, "Galician", "GLC" },
    { 1111, "Konkani", "KNK" },
    { 1114, "Syriac", "SYR" },
    { 1125, "Divehi", "DIV" },
    { 2049, "Arabic (Iraq)", "ARI" },
    { 2052, "Chinese (PRC)", "CHS" },
    { 2055, "German (Switzerland)", "DES" },
    { 2057, "English (United Kingdom)", "ENG" },
    { 2058, "Spanish (Mexico)", "ESM" },
    { 2060, "French (Belgium)", "FRB" },
    { 2064, "Italian (Switzerland)", "ITS" },
    { 2067, "Dutch (Belgium)", "NLB" },
    { 2068, "Norwegian (Nynorsk)", "NON" },
    { 2070, "Portuguese (Portugal)", "PTG" },
    { 2074, "Serbian (Latin)", "SRL" },
    { 2077, "Swedish (Finland)", "SVF" },
    { 2092, "Azeri (Cyrillic)", "AZC" },
    { 2110, "Malay (Brunei Darussalam)", "MSB" },
    { 2115, "Uzbek (Cyrillic)", "UZC" },
    { 3073, "Arabic (Egypt)", "ARE" },
    { 3076, "Chinese (Hong Kong S.A.R.)", "ZHH" },
    { 3079, "German (Austria)", "DEA" },
    { 3081, "English (Australia)", "ENA" },
    { 3082, "Spanish (International Sort)", "ESN" },
    { 3084, "French (Canada)", "FRC" },
    { 3098, "Serbian (Cyrillic)", "SRB" },
    { 4097, "Arabic (Libya)", "ARL" },
    { 4100, "Chinese (Singapore)", "ZHI" },
    { 4103, "German (Luxembourg)", "DEL" },
    { 4105, "English (Canada)", "ENC" },
    { 4106, "Spanish (Guatemala)", "ESG" },
    { 4108, "French (Switzerland)", "FRS" },
    { 5121, "Arabic (Algeria)", "ARG" },
    { 5124, "Chinese (Macau S.A.R.)", "ZHM" },
    { 5127, "German (Liechtenstein)", "DEC" },
    { 5129, "English (New Zealand)", "ENZ" },
    { 5130, "Spanish (Costa Rica)", "ESC" },
    { 5132, "French (Luxembourg)", "FRL" },
    { 6145, "Arabic (Morocco)", "ARM" },
    { 6153, "English (Ireland)", "ENI" },
    { 6154, "Spanish (Panama)", "ESA" },
    { 6156, "French (Monaco)", "FRM" },
    { 7169, "Arabic (Tunisia)", "ART" },
    { 7177, "English (South Africa)", "ENS" },
    { 7178, "Spanish (Dominican Republic)", "ESD" },
    { 8193, "Arabic (Oman)", "ARO" },
    { 8201, "English (Jamaica)", "ENJ" },
    { 8202, "Spanish (Venezuela)", "ESV" },
    { 9217, "Arabic (Yemen)", "ARY" },
    { 9225, "English (Caribbean)", "ENB" },
    { 9226, "Spanish (Colombia)", "ESO" },
    { 10241, "Arabic (Syria)", "ARS" },
    { 10249, "English (Belize)", "ENL" },
    { 10250, "Spanish (Peru)", "ESR" },
    { 11265, "Arabic (Jordan)", "ARJ" },
    { 11273, "English (Trinidad)", "ENT" },
    { 11274, "Spanish (Argentina)", "ESS" },
    { 12289, "Arabic (Lebanon)", "ARB" },
    { 12297, "English (Zimbabwe)", "ENW" },
    { 12298, "Spanish (Ecuador)", "ESF" },
    { 13313, "Arabic (Kuwait)", "ARK" },
    { 13321, "English (Philippines)", "ENP" },
    { 13322, "Spanish (Chile)", "ESL" },
    { 14337, "Arabic (U.A.E.)", "ARU" },
    { 14346, "Spanish (Uruguay)", "ESY" },
    { 15361, "Arabic (Bahrain)", "ARH" },
    { 15370, "Spanish (Paraguay)", "ESZ" },
    { 16385, "Arabic (Qatar)", "ARQ" },
    { 16394, "Spanish (Bolivia)", "ESB" },
    { 17418, "Spanish (El Salvador)", "ESE" },
    { 18442, "Spanish (Honduras)", "ESH" },
    { 19466, "Spanish (Nicaragua)", "ESI" },
    { 20490, "Spanish (Puerto Rico)", "ESU" },
};

const TLanguageName* FindLanguage(uint16_t lcid)
{
    for (const TLanguageName& entry : LanguageTable)
        if (entry.Lcid == lcid)
            return &entry;
    return nullptr;
}

// A bare primary identifier stands for its default sublanguage, as the system answers for it.
const TLanguageName* FindLocale(uint16_t lcid)
{
    return FindLanguage(lcid < 256 ? uint16_t(lcid | 0x400) : lcid);
}

constexpr char ContainerMagic[] = "TVLF";
constexpr uint32_t ContainerVersion = 1;
constexpr uint32_t MaxResources = 64;

QString Quoted(const QString& text)
{
    return QLatin1Char('"') + text + QLatin1Char('"');
}

QString ReadFailure(const QString& path)
{
    return TQLocUtils::tr("Error loading resource file %1").arg(Quoted(path));
}

QString InvalidFailure(const QString& path)
{
    return TQLocUtils::tr("Invalid resource file format %1").arg(Quoted(path));
}

std::string ToStd(const QByteArray& bytes)
{
    return std::string(bytes.constData(), size_t(bytes.size()));
}

} // namespace

// --- list --------------------------------------------------------------------------------------

void TDLLInfoList::Delete(int index)
{
    if (index < 0 || index >= Count())
        throw ELocUtilsError(QStringLiteral("List index out of bounds (%1)").arg(index));
    FItems.erase(FItems.begin() + index);
}

const TDLLInfoItem& TDLLInfoList::GetItem(int index) const
{
    if (index < 0 || index >= Count())
        throw ELocUtilsError(QStringLiteral("List index out of bounds (%1)").arg(index));
    return FItems[size_t(index)];
}

// --- descriptor --------------------------------------------------------------------------------

QByteArray BuildDescriptor(const TDLLInfoItem& item, const char* magic)
{
    TMemoryStream out;
    out.Write(std::string_view(magic, 4));
    out.WriteU32LE(item.ResourceVersion);
    out.WriteU16LE(item.LanguageId);
    const std::string ansi = UnicodeToAnsi(item.AnsiName).substr(0, 0xFFFF);
    out.WriteU16LE(uint16_t(ansi.size()));
    out.Write(ansi);
    const QString wide = item.WideName.left(0xFFFF);
    out.WriteU16LE(uint16_t(wide.size()));
    for (QChar c : wide)
        out.WriteU16LE(c.unicode());
    out.WriteU32LE(0);
    out.WriteU32LE(item.ExtraValue);
    out.WriteU8(0);
    const std::string& data = out.Data();
    return QByteArray(data.data(), qsizetype(data.size()));
}

TDLLInfoItem ParseDescriptor(const QByteArray& bytes, const char* magic, const QString& modulePath)
{
    TMemoryStream in(ToStd(bytes));
    try {
        if (in.ReadBytes(4) != std::string_view(magic, 4))
            throw ELUInvalidResLibrary(InvalidFailure(modulePath));
        TDLLInfoItem item;
        item.ResourceVersion = in.ReadU32LE();
        item.LanguageId = in.ReadU16LE();
        std::string ansi = in.ReadBytes(in.ReadU16LE());
        if (const size_t zero = ansi.find('\0'); zero != std::string::npos)
            ansi.resize(zero);
        item.AnsiName = AnsiToUnicode(ansi);
        const uint16_t wideLength = in.ReadU16LE();
        QString wide;
        wide.reserve(wideLength);
        for (uint16_t i = 0; i < wideLength; ++i)
            wide.append(QChar(in.ReadU16LE()));
        item.WideName = wide;
        if (in.Remaining() > 4) {
            in.Skip(4);
            if (in.Remaining() >= 4)
                item.ExtraValue = in.ReadU32LE();
        }
        return item;
    } catch (const EReadError&) {
        throw ELUInvalidResLibrary(InvalidFailure(modulePath));
    }
}

// --- container ---------------------------------------------------------------------------------

QByteArray PackLanguageResources(const std::map<QString, QByteArray>& resources)
{
    TMemoryStream out;
    out.Write(std::string_view(ContainerMagic, 4));
    out.WriteU32LE(ContainerVersion);
    out.WriteU32LE(uint32_t(resources.size()));
    for (const auto& [name, data] : resources) {
        const QByteArray latin = name.toLatin1();
        out.WriteU16LE(uint16_t(latin.size()));
        out.Write(std::string_view(latin.constData(), size_t(latin.size())));
        out.WriteU32LE(uint32_t(data.size()));
        out.Write(std::string_view(data.constData(), size_t(data.size())));
    }
    const std::string& bytes = out.Data();
    return QByteArray(bytes.data(), qsizetype(bytes.size()));
}

std::map<QString, QByteArray> UnpackLanguageResources(const QByteArray& bytes, const QString& path)
{
    TMemoryStream in(ToStd(bytes));
    try {
        if (in.ReadBytes(4) != std::string_view(ContainerMagic, 4) || in.ReadU32LE() != ContainerVersion)
            throw ELUInvalidResLibrary(InvalidFailure(path));
        const uint32_t count = in.ReadU32LE();
        if (count > MaxResources)
            throw ELUInvalidResLibrary(InvalidFailure(path));
        std::map<QString, QByteArray> resources;
        for (uint32_t i = 0; i < count; ++i) {
            const std::string name = in.ReadBytes(in.ReadU16LE());
            // ReadBytes checks the length against what remains before it allocates.
            const std::string data = in.ReadBytes(in.ReadU32LE());
            resources[QString::fromLatin1(name.data(), qsizetype(name.size()))]
                = QByteArray(data.data(), qsizetype(data.size()));
        }
        if (in.Remaining() != 0)
            throw ELUInvalidResLibrary(InvalidFailure(path));
        return resources;
    } catch (const EReadError&) {
        throw ELUInvalidResLibrary(InvalidFailure(path));
    }
}

QByteArray BuildLanguageFile(const TDLLInfoItem& item, const QByteArray& qm)
{
    return PackLanguageResources(
        { { QString::fromLatin1(LibDescriptorName), BuildDescriptor(item, LibDescriptorMagic) },
            { QString::fromLatin1(StringTableName), qm } });
}

void WriteLanguageFile(const QString& path, const TDLLInfoItem& item, const QByteArray& qm)
{
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly) || file.write(BuildLanguageFile(item, qm)) < 0 || !file.commit())
        throw ETarvellError(QStringLiteral("Cannot write %1: %2").arg(Quoted(path), file.errorString()));
}

// --- locale names ------------------------------------------------------------------------------

QString GetLocaleInfoStr(uint16_t lcid, TLocaleItem item)
{
    const TLanguageName* entry = FindLocale(lcid);
    if (!entry)
        throw ELocalesError(TQLocUtils::tr("Can not get locale info"));
    if (item == TLocaleItem::AbbrevName)
        return QString::fromLatin1(entry->Abbrev);
    QString name = QString::fromLatin1(entry->Name);
    // The language of a bare primary identifier, without its country.
    if (lcid < 256)
        name = name.section(QStringLiteral(" ("), 0, 0).trimmed();
    return name;
}

QString LocaleAbbrevName(uint16_t lcid)
{
    const QString abbrev = GetLocaleInfoStr(lcid, TLocaleItem::AbbrevName);
    return lcid < 256 ? abbrev.left(2) : abbrev;
}

QString LanguageNameOf(uint16_t lcid)
{
    if (const TLanguageName* entry = FindLanguage(lcid))
        return QString::fromLatin1(entry->Name);
    try {
        return GetLocaleInfoStr(lcid, TLocaleItem::EnglishName);
    } catch (const ELocalesError&) {
        // A caption must not stop the window that shows it.
        return TQLocUtils::tr("Language %1").arg(lcid);
    }
}

std::vector<uint16_t> LanguageTableLcids()
{
    std::vector<uint16_t> lcids;
    for (const TLanguageName& entry : LanguageTable)
        lcids.push_back(entry.Lcid);
    return lcids;
}

// --- switcher ----------------------------------------------------------------------------------

TQLocUtils::TQLocUtils()
    : AppFileName(ExecutablePath())
{
    LibraryFolder = QFileInfo(AppFileName).absolutePath();
    ActiveInfo = ReadDescriptor(OwnModule(), true);
}

TQLocUtils::~TQLocUtils()
{
    // The switcher may outlive the application object.
    if (FTranslator && QCoreApplication::instance())
        QCoreApplication::removeTranslator(FTranslator.get());
}

QString TQLocUtils::BaseName() const
{
    return QFileInfo(AppFileName).completeBaseName();
}

TLanguageModule TQLocUtils::OwnModule() const
{
    TDLLInfoItem own;
    own.LanguageId = NativeLcid;
    own.ResourceVersion = ExeResourceVersion;
    own.AnsiName = own.WideName = QStringLiteral("English");
    TLanguageModule module;
    module.Resources[QString::fromLatin1(ExeDescriptorName)] = BuildDescriptor(own, ExeDescriptorMagic);
    module.Resources[QString::fromLatin1(LibDescriptorName)] = BuildDescriptor(own, LibDescriptorMagic);
    return module;
}

TDLLInfoItem TQLocUtils::ReadDescriptor(const TLanguageModule& module, bool fromDll) const
{
    const QString path = module.IsOwn() ? AppFileName : module.FileName;
    const auto it = module.Resources.find(QString::fromLatin1(fromDll ? LibDescriptorName : ExeDescriptorName));
    if (it == module.Resources.end())
        throw ELUInvalidResLibrary(InvalidFailure(path));
    TDLLInfoItem item = ParseDescriptor(it->second, fromDll ? LibDescriptorMagic : ExeDescriptorMagic, path);
    item.LibraryFileName = module.FileName;
    return item;
}

namespace {

// The file's resources; ELULoadResLibError when it cannot be read or is no language file.
TLanguageModule ReadModule(const QString& fileName)
{
    QFile file(fileName);
    if (!file.open(QIODevice::ReadOnly) || file.size() > MaxLanguageFileSize)
        throw ELULoadResLibError(ReadFailure(fileName));
    const QByteArray bytes = file.readAll();
    TLanguageModule module;
    module.FileName = fileName;
    try {
        module.Resources = UnpackLanguageResources(bytes, fileName);
    } catch (const ELUInvalidResLibrary&) {
        throw ELULoadResLibError(ReadFailure(fileName));
    }
    return module;
}

} // namespace

std::optional<TLanguageModule> TQLocUtils::LoadLanguageLibrary(const QString& fileName) const
{
    if (fileName.isEmpty())
        return OwnModule();
    TLanguageModule module = ReadModule(fileName);
    const TDLLInfoItem info = ReadDescriptor(module, true);
    if (info.ResourceVersion != ReadDescriptor(OwnModule(), false).ResourceVersion) {
        if (ToleratesVersion)
            return std::nullopt;
        throw ELUOutOfVersion(tr("Resource file %1 is not synhronized with executable.").arg(fileName)
            + QLatin1Char('\n') + tr("Build the language file again from the current translation sources."));
    }
    return module;
}

bool TQLocUtils::EnumLanguageDlls(TDLLInfoList* list) const
{
    if (!list || LibraryFolder.isEmpty() || !QFileInfo(LibraryFolder).isDir())
        return false;
    list->Clear();
    list->Add(ReadDescriptor(OwnModule(), false));
    const QDir folder(LibraryFolder);
    const QStringList names = folder.entryList(
        { BaseName() + QStringLiteral(".*") }, QDir::Files | QDir::Hidden | QDir::System, QDir::Name);
    static const QStringList skipped { QStringLiteral("ntv"), QStringLiteral("exe"), QStringLiteral("~ex"),
        QStringLiteral("bak") };
    for (const QString& name : names) {
        const QString extension = name.mid(BaseName().size() + 1);
        if (skipped.contains(extension, Qt::CaseInsensitive))
            continue;
        try {
            list->Add(ReadDescriptor(ReadModule(folder.filePath(name)), true));
        } catch (const ETarvellError&) {
            // Not a language file: not offered.
        }
    }
    return true;
}

QString TQLocUtils::FindLanguageFile(uint16_t lcid, const QString& extension) const
{
    const QDir folder(LibraryFolder);
    const QString exact = folder.filePath(BaseName() + QLatin1Char('.') + extension);
    if (extension.isEmpty() || QFileInfo::exists(exact))
        return exact;
    // Case-sensitive file systems: the extension in another case, then the file of that language.
    for (const QString& name : folder.entryList(QDir::Files | QDir::Hidden | QDir::System, QDir::Name))
        if (name.compare(BaseName() + QLatin1Char('.') + extension, Qt::CaseInsensitive) == 0)
            return folder.filePath(name);
    TDLLInfoList list;
    if (EnumLanguageDlls(&list))
        for (int i = 1; i < list.Count(); ++i)
            if (list.GetItem(i).LanguageId == lcid)
                return list.GetItem(i).LibraryFileName;
    return exact;
}

void TQLocUtils::SetLanguageByLcid(uint16_t lcid)
{
    if (lcid == GetNativeLanguageId()) {
        LoadLanguageFile(QDir(LibraryFolder).filePath(BaseName() + QStringLiteral(".exe")));
        return;
    }
    QString extension;
    try {
        extension = LocaleAbbrevName(lcid);
    } catch (const ELocalesError&) {
        // An LCID the table does not know can still be found by its file's descriptor.
    }
    LoadLanguageFile(FindLanguageFile(lcid, extension));
}

void TQLocUtils::LoadLanguageFile(const QString& fileName)
{
    const QString library
        = QFileInfo(fileName).suffix().compare(QLatin1String("exe"), Qt::CaseInsensitive) == 0 ? QString() : fileName;
    const std::optional<TLanguageModule> module = LoadLanguageLibrary(library);
    if (!module)
        return;
    if (SwitchMode == 0) {
        InstallResourceModule(*module);
        ReloadAllForms();
    } else {
        (void)ReadDescriptor(*module, true);
    }
}

void TQLocUtils::InstallResourceModule(const TLanguageModule& module)
{
    const TDLLInfoItem info = ReadDescriptor(module, true);
    std::unique_ptr<QTranslator> translator;
    QByteArray data;
    if (!module.IsOwn()) {
        const auto it = module.Resources.find(QString::fromLatin1(StringTableName));
        if (it == module.Resources.end())
            throw ELUInvalidResLibrary(InvalidFailure(module.FileName));
        data = it->second;
        translator = std::make_unique<QTranslator>();
        if (!translator->load(reinterpret_cast<const uchar*>(data.constData()), int(data.size())))
            throw ELUInvalidResLibrary(InvalidFailure(module.FileName));
    }
    if (FTranslator)
        QCoreApplication::removeTranslator(FTranslator.get());
    if (FQtTranslator)
        QCoreApplication::removeTranslator(FQtTranslator.get());
    FQtTranslator.reset();
    FTranslator = std::move(translator);
    FTranslatorData = data;
    if (FTranslator) {
        QCoreApplication::installTranslator(FTranslator.get());
        // Qt's own texts (standard buttons, dialogs, window menus) in the same language, when the
        // system has Qt's translations; the language is the one the translation file declares.
        auto qt = std::make_unique<QTranslator>();
        if (!FTranslator->language().isEmpty()
            && qt->load(QLocale(FTranslator->language()), QStringLiteral("qtbase"), QStringLiteral("_"),
                QLibraryInfo::path(QLibraryInfo::TranslationsPath))) {
            FQtTranslator = std::move(qt);
            QCoreApplication::installTranslator(FQtTranslator.get());
        }
    }
    ActiveInfo = info;
}

void TQLocUtils::RestoreNativeLanguage()
{
    InstallResourceModule(OwnModule());
}

void TQLocUtils::ReloadAllForms()
{
    // Installing a translator posted the language change to every window; deliver it now.
    try {
        QCoreApplication::sendPostedEvents(nullptr, QEvent::LanguageChange);
    } catch (const ELocUtilsError& e) {
        if (!ShowErrors)
            throw;
        if (OnShowError)
            OnShowError(e.Message());
    }
}

uint16_t TQLocUtils::GetNativeLanguageId() const
{
    const QString native = QDir(LibraryFolder).filePath(BaseName() + QStringLiteral(".ntv"));
    if (QFileInfo::exists(native))
        return ReadDescriptor(ReadModule(native), true).LanguageId;
    return ReadDescriptor(OwnModule(), false).LanguageId;
}

TQLocUtils& QLocUtils()
{
    static TQLocUtils utils;
    return utils;
}
