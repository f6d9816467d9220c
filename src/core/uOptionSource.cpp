// The settings store as the option source, and the source the process hands in.
#include "core/uOptionSource.h"

#include "core/uSettings.h"
#include "core/uSettingsStore.h"

#include <atomic>

namespace {

class TSourceSection final : public IOptionSection {
public:
    TSourceSection(const IOptionSource& source, const QString& section)
        : FSource(source)
        , FSection(section)
    {
    }
    bool ReadBool(const QString& key, bool fallback) const override { return FSource.ReadBool(FSection, key, fallback); }
    int ReadInteger(const QString& key, int fallback) const override { return FSource.ReadInteger(FSection, key, fallback); }

private:
    const IOptionSource& FSource;
    const QString FSection;
};

// The store is opened once for every key read of the section.
class TStoreSection final : public IOptionSection {
public:
    explicit TStoreSection(const QString& section)
        : FStore(CreateSettingsStore())
        , FSection(section)
    {
    }
    bool ReadBool(const QString& key, bool fallback) const override { return FStore->ReadBool(FSection, key, fallback); }
    int ReadInteger(const QString& key, int fallback) const override { return FStore->ReadInteger(FSection, key, fallback); }

private:
    const std::unique_ptr<TSettingsStore> FStore;
    const QString FSection;
};

class TSettingsOptionSource final : public IOptionSource {
public:
    bool ReadBool(const QString& section, const QString& key, bool fallback) const override
    {
        return CreateSettingsStore()->ReadBool(section, key, fallback);
    }
    int ReadInteger(const QString& section, const QString& key, int fallback) const override
    {
        return CreateSettingsStore()->ReadInteger(section, key, fallback);
    }
    void WriteBool(const QString& section, const QString& key, bool value) const override
    {
        CreateSettingsStore()->WriteBool(section, key, value);
    }
    void WriteInteger(const QString& section, const QString& key, int value) const override
    {
        CreateSettingsStore()->WriteInteger(section, key, value);
    }
    int Precision() const override { return GetSettings().Precision; }
    std::unique_ptr<IOptionSection> OpenSection(const QString& section) const override
    {
        return std::make_unique<TStoreSection>(section);
    }
};

// Readers may run on worker threads while the source is read.
std::atomic<const IOptionSource*>& HandedIn()
{
    static std::atomic<const IOptionSource*> source = nullptr;
    return source;
}

} // namespace

std::unique_ptr<IOptionSection> IOptionSource::OpenSection(const QString& section) const
{
    return std::make_unique<TSourceSection>(*this, section);
}

const IOptionSource& SettingsOptionSource()
{
    static const TSettingsOptionSource source;
    return source;
}

const IOptionSource& ActiveOptionSource()
{
    const IOptionSource* source = HandedIn().load(std::memory_order_acquire);
    return source ? *source : SettingsOptionSource();
}

void UseOptionSource(const IOptionSource* source) { HandedIn().store(source, std::memory_order_release); }
