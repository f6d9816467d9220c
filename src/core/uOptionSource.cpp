// The settings store as the option source, and the source the process hands in.
#include "core/uOptionSource.h"

#include "core/uSettings.h"
#include "core/uSettingsStore.h"

#include <atomic>

namespace {

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
};

// Readers may run on worker threads while the source is read.
std::atomic<const IOptionSource*>& HandedIn()
{
    static std::atomic<const IOptionSource*> source = nullptr;
    return source;
}

} // namespace

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
