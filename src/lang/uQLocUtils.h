// Interface languages: language files beside the executable (named like it with another
// extension), each a data container with a descriptor and a Qt string table; installing one
// installs its translator, and open windows re-read their texts on the language change.
#pragma once

#include "core/uGeneral.h"

#include <QByteArray>
#include <QCoreApplication>
#include <QString>

#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <vector>

class QTranslator;

// Resource version of this executable's texts; a language file of another version is refused.
inline constexpr uint32_t ExeResourceVersion = 68;
// The executable's own language: English as a bare primary language identifier.
inline constexpr uint16_t NativeLcid = 9;

// Descriptor magics and the names of the two descriptor resources.
inline constexpr char ExeDescriptorMagic[] = "QEXE";
inline constexpr char LibDescriptorMagic[] = "LDLL";
inline constexpr char ExeDescriptorName[] = "QLX_EXESETTINGS_";
inline constexpr char LibDescriptorName[] = "QLX_LIBSETTINGS_";
// The resource holding the Qt string table (.qm bytes).
inline constexpr char StringTableName[] = "QM";

class ELocUtilsError : public ETarvellError {
public:
    using ETarvellError::ETarvellError;
};
class ELULoadResLibError : public ELocUtilsError {
public:
    using ELocUtilsError::ELocUtilsError;
};
class ELUInvalidResLibrary : public ELocUtilsError {
public:
    using ELocUtilsError::ELocUtilsError;
};
class ELUOutOfVersion : public ELocUtilsError {
public:
    using ELocUtilsError::ELocUtilsError;
};
// No locale information for an LCID.
class ELocalesError : public ETarvellError {
public:
    using ETarvellError::ETarvellError;
};

// One language: the executable's own (empty LibraryFileName) or a language file.
struct TDLLInfoItem {
    QString LibraryFileName;
    uint16_t LanguageId = 0;
    uint32_t ResourceVersion = 0;
    QString AnsiName;
    QString WideName;
    uint32_t ExtraValue = 0;
};

// The languages found, the executable's own first.
class TDLLInfoList {
public:
    void Clear() { FreeAllItems(); }
    void FreeAllItems() { FItems.clear(); }
    void Delete(int index);
    void Add(TDLLInfoItem item) { FItems.push_back(std::move(item)); }
    const TDLLInfoItem& GetItem(int index) const;
    int Count() const { return int(FItems.size()); }

private:
    std::vector<TDLLInfoItem> FItems;
};

// Descriptor bytes (magic, version, LCID, ANSI name, UTF-16 name, 4 skipped bytes, extra value,
// one zero byte) and their reading; a descriptor shorter than its names or with another magic is
// refused with ELUInvalidResLibrary naming modulePath.
QByteArray BuildDescriptor(const TDLLInfoItem& item, const char* magic);
TDLLInfoItem ParseDescriptor(const QByteArray& bytes, const char* magic, const QString& modulePath);

// A loaded language: its named resources (descriptors, string table). The executable's own has
// both descriptors and no string table.
struct TLanguageModule {
    QString FileName; // empty for the executable's own
    std::map<QString, QByteArray> Resources;
    bool IsOwn() const { return FileName.isEmpty(); }
};

// Largest language file read; a bigger one is not a language file.
inline constexpr qint64 MaxLanguageFileSize = 32 * 1024 * 1024;

// The container: "TVLF", format version (u32), resource count (u32), then per resource a name
// (u16 length, Latin-1) and its data (u32 length). Every length is checked against what remains.
QByteArray PackLanguageResources(const std::map<QString, QByteArray>& resources);
// Throws ELUInvalidResLibrary naming path on anything malformed.
std::map<QString, QByteArray> UnpackLanguageResources(const QByteArray& bytes, const QString& path);
// The bytes of a language file: item's descriptor under "QLX_LIBSETTINGS_" and the string table.
QByteArray BuildLanguageFile(const TDLLInfoItem& item, const QByteArray& qm);
// Writes it through a temporary sibling; throws ETarvellError when it cannot be written.
void WriteLanguageFile(const QString& path, const TDLLInfoItem& item, const QByteArray& qm);

// English name of an LCID: the fixed table, else the language's name (bare primary identifiers),
// else "Language <LCID>" so that a caption never fails.
QString LanguageNameOf(uint16_t lcid);
// Abbreviated language name ("DEU"); only the first two letters for a bare primary identifier.
// ELocalesError "Can not get locale info" for an unknown LCID.
QString LocaleAbbrevName(uint16_t lcid);
enum class TLocaleItem { EnglishName, AbbrevName };
QString GetLocaleInfoStr(uint16_t lcid, TLocaleItem item);
// The LCIDs of the name table in table order.
std::vector<uint16_t> LanguageTableLcids();

class TQLocUtils {
    Q_DECLARE_TR_FUNCTIONS(LocUtils)
public:
    TQLocUtils();
    ~TQLocUtils();

    TDLLInfoList DllInfos;
    TDLLInfoItem ActiveInfo;
    // 0: install and re-read the open windows; 1: only check, the caller restarts.
    int SwitchMode = 1;
    bool ShowErrors = true;
    bool ToleratesVersion = false;
    QString LibraryFolder;
    QString AppFileName;
    QStringList RestartParameters;
    // Shows a switcher error while ShowErrors is set (the window side installs a box).
    std::function<void(const QString&)> OnShowError;

    // The executable's own entry, then every language file beside it in name order; false when
    // the folder does not exist or no list is given.
    bool EnumLanguageDlls(TDLLInfoList* list) const;
    // The file for lcid: exact name, else the same extension in another case, else the file whose
    // descriptor has lcid.
    void SetLanguageByLcid(uint16_t lcid);
    void LoadLanguageFile(const QString& fileName);
    // nullopt only when ToleratesVersion lets a file of another version through.
    std::optional<TLanguageModule> LoadLanguageLibrary(const QString& fileName) const;
    TDLLInfoItem ReadDescriptor(const TLanguageModule& module, bool fromDll) const;
    void InstallResourceModule(const TLanguageModule& module);
    void RestoreNativeLanguage();
    void ReloadAllForms();
    uint16_t GetNativeLanguageId() const;
    TDLLInfoItem GetActiveLanguageInfo() const { return ActiveInfo; }
    TLanguageModule OwnModule() const;
    // The executable's file name without its extension (language files add theirs).
    QString BaseName() const;

private:
    QString FindLanguageFile(uint16_t lcid, const QString& extension) const;
    std::unique_ptr<QTranslator> FTranslator;
    std::unique_ptr<QTranslator> FQtTranslator; // Qt's own texts in the language of FTranslator
    QByteArray FTranslatorData; // the translator reads from these bytes while installed
};

// The one switcher of the process.
TQLocUtils& QLocUtils();
