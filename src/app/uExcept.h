// The program's bridge to the crash reporter: the dump of the whole settings store that every bug
// report and the system information carry, with passwords masked.
#pragma once

#include <QByteArray>
#include <QString>
#include <QStringList>

// What the dump reads of a store. The program's store holds only strings; a store whose values
// have kinds (integers, binary data) answers each read or throws when the value is not of it.
class TSettingsDumpReader {
public:
    virtual ~TSettingsDumpReader() = default;
    // Sections and the value names of a section, in the store's order.
    virtual QStringList Sections() = 0;
    virtual QStringList Names(const QString& section) = 0;
    // Each throws when the value cannot be read as that kind.
    virtual QString ReadString(const QString& section, const QString& name) = 0;
    virtual qint64 ReadInteger(const QString& section, const QString& name) = 0;
    virtual QByteArray ReadBinary(const QString& section, const QString& name) = 0;
};

// The text that stands for a masked value.
inline constexpr const char* MaskedValue = "********";

// The value as the dump shows it: "********" when the lower-cased name contains "password", else
// the value with the user information of every address in it ("scheme://user:secret@") masked.
QString DumpValue(const QString& name, const QString& value);

// Appends the dump: per section CR LF "[" section "]" CR LF, then name "=" value CR LF per value.
// A value that is not a string is written in decimal, else as upper-case hex pairs. A failure of
// the reader (a std::exception) appends the error block instead of the rest; anything else
// propagates.
void GetSettingsDump(QString& report, TSettingsDumpReader& reader);
// The same over the program's settings store (opened for the dump, freed afterwards).
void GetSettingsDump(QString& report);
// Appends CR LF and the dump of the program's settings store.
void AddSettingsToBugReport(QString& report);
