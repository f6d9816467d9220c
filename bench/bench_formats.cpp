// Read and write benchmarks of every registered format on generated lists of 10k and 1M POIs.
// Formats without a writer read a file built for them here.
#include "uBenchData.h"

#include "core/uStream.h"
#include "formats/uConvertBase.h"
#include "formats/uFormats.h"

#include <QCoreApplication>
#include <QTemporaryDir>

#include <benchmark/benchmark.h>

#include <cmath>
#include <cstring>
#include <map>

namespace {

constexpr int Sizes[] = {10000, 1000000};

TEntries& Pois(int count)
{
    static std::map<int, std::unique_ptr<TEntries>> cache;
    auto& entries = cache[count];
    if (!entries) {
        entries = std::make_unique<TEntries>();
        GeneratePois(*entries, count);
    }
    return *entries;
}

template <typename T>
void Append(std::string& out, T value)
{
    out.append(reinterpret_cast<const char*>(&value), sizeof value);
}

// Files of the read-only formats, laid out as their readers expect.
std::string GdbFile(const TEntries& entries)
{
    std::string out("MsRcf\0", 6);
    Append<int32_t>(out, 2);
    out.append("Dl\0", 3);
    Append<int32_t>(out, 0);
    out.append("A", 1);
    out.append("MapSource\0", 10);
    for (int i = 0; i < entries.Count(); ++i) {
        const std::string name(entries[i].GetDescription());
        std::string data = name + std::string(1 + 4, '\0') + std::string(1 + 22, '\0');
        Append<int32_t>(data, int32_t(std::lround(entries[i].GetLatitude() / 180.0 * 2147483648.0)));
        Append<int32_t>(data, int32_t(std::lround(entries[i].GetLongitude() / 180.0 * 2147483648.0)));
        Append<int32_t>(out, int32_t(data.size()));
        out += 'W';
        out += data;
    }
    return out;
}

std::string MitacFile(const TEntries& entries)
{
    std::string out("d", 1);
    Append<uint32_t>(out, 5);
    for (int i = 0; i < entries.Count(); ++i) {
        out.append(5, '\0');
        Append<int32_t>(out, int32_t(std::lround(entries[i].GetLongitude() * 100000)));
        Append<int32_t>(out, int32_t(std::lround(entries[i].GetLatitude() * 100000)));
        std::string name(entries[i].GetDescription());
        name.resize(52, '\0');
        out += name;
        Append<uint32_t>(out, 90);
        out += char(1);
        out.append(3, '\0');
    }
    return out;
}

// The bytes the importer of row reads: the file its format's writer makes, else a built one.
std::string InputFor(int row, int count)
{
    const QString id = TConvertFromBase::FormatIDAt(row);
    const int exporter = TConvertToBase::IndexOfFormatID(id);
    TEntries& entries = Pois(count);
    if (exporter >= 0) {
        TMemoryStream stream;
        TConvertToBase::CreateConverterAt(exporter)->Convert(entries, stream);
        return stream.TakeData();
    }
    if (id == QLatin1String("gdb"))
        return GdbFile(entries);
    if (id == QLatin1String("mitacmtc"))
        return MitacFile(entries);
    return {};
}

void RegisterAll()
{
    for (int row = 0; row < TConvertToBase::FormatCount(); ++row) {
        for (int count : Sizes) {
            const std::string name = "write/" + TConvertToBase::FormatIDAt(row).toStdString() + "/" + std::to_string(count);
            benchmark::RegisterBenchmark(name.c_str(), [row, count](benchmark::State& state) {
                TEntries& entries = Pois(count);
                size_t bytes = 0;
                for (auto _ : state) {
                    TMemoryStream stream;
                    TConvertToBase::CreateConverterAt(row)->Convert(entries, stream);
                    bytes = stream.Size();
                    benchmark::DoNotOptimize(stream.Data().data());
                }
                state.SetBytesProcessed(int64_t(bytes) * state.iterations());
                state.counters["POIs"] = count;
            })->Unit(benchmark::kMillisecond);
        }
    }
    for (int row = 0; row < TConvertFromBase::FormatCount(); ++row) {
        for (int count : Sizes) {
            const std::string name = "read/" + TConvertFromBase::FormatIDAt(row).toStdString() + "/" + std::to_string(count);
            benchmark::RegisterBenchmark(name.c_str(), [row, count](benchmark::State& state) {
                const std::string input = InputFor(row, count);
                if (input.empty()) {
                    state.SkipWithError("no input for this format");
                    return;
                }
                for (auto _ : state) {
                    // The stream holds the file's bytes before a read starts, as the open routine's does.
                    state.PauseTiming();
                    TMemoryStream stream(input);
                    state.ResumeTiming();
                    auto entries = std::make_unique<TEntries>();
                    TConvertFromBase::CreateConverterAt(row)->Convert(*entries, stream);
                    benchmark::DoNotOptimize(entries->Count());
                    // Freeing the list is not part of reading it.
                    state.PauseTiming();
                    entries.reset();
                    state.ResumeTiming();
                }
                state.SetBytesProcessed(int64_t(input.size()) * state.iterations());
            })->Unit(benchmark::kMillisecond);
        }
    }
}

} // namespace

int main(int argc, char** argv)
{
    // A private, empty settings store: every option at its default.
    QTemporaryDir home;
    qputenv("XDG_CONFIG_HOME", home.path().toLocal8Bit());
    QCoreApplication app(argc, argv);
    RegisterAllFormats();
    RegisterAll();
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
