// Where the model's rounding and the converters' options come from: the settings store unless
// the process hands in another source (the tests hand in one kept in memory).
#pragma once

#include <QString>

#include <memory>

// The keys of one section, read through one opening of the store.
class IOptionSection {
public:
    virtual ~IOptionSection() = default;
    virtual bool ReadBool(const QString& key, bool fallback) const = 0;
    virtual int ReadInteger(const QString& key, int fallback) const = 0;
};

class IOptionSource {
public:
    virtual ~IOptionSource() = default;
    // A converter option: section Category + "\" + FormatID, key = the option index in decimal.
    virtual bool ReadBool(const QString& section, const QString& key, bool fallback) const = 0;
    virtual int ReadInteger(const QString& section, const QString& key, int fallback) const = 0;
    virtual void WriteBool(const QString& section, const QString& key, bool value) const = 0;
    virtual void WriteInteger(const QString& section, const QString& key, int value) const = 0;
    // Decimals of coordinates in editing and text formats (4..6).
    virtual int Precision() const = 0;
    // For reading several keys of a section at once; by default each read goes to the source.
    virtual std::unique_ptr<IOptionSection> OpenSection(const QString& section) const;
};

// The source the model and the converters read at the moment they need a value.
const IOptionSource& ActiveOptionSource();
// Hands in the source for the whole process; nullptr: the settings store again. The source must
// outlive its use.
void UseOptionSource(const IOptionSource* source);
// The settings store, opened for each call and closed again, and the settings' "Precision".
const IOptionSource& SettingsOptionSource();
