// A loopback HTTP server that answers the way a hostile or broken site does: bodies that never
// end (fast, with and without a length, chunked), a small gzip body that inflates a thousandfold,
// and requests that are taken and never answered. Every answer is bounded in time and bytes, so
// a test that fails still ends. Bodies are binary, so the server does not compress them itself.
#pragma once

#include "support/LoopbackHttp.h"

#include <QByteArray>
#include <QString>

#include <array>
#include <atomic>
#include <chrono>
#include <cstdint>
#include <string>
#include <thread>

class THostileHttp : public TLoopbackHttp {
public:
    // What an endless answer sends at most, and how long a silent one holds its request.
    static constexpr uint64_t Bound = 256ull * 1024 * 1024;
    static constexpr int SilentMs = 10000;
    // The inflated size of the bomb.
    static constexpr int BombSize = 64 * 1024 * 1024;

    THostileHttp()
    {
        Server.Get("/endless/chunked", [this](const httplib::Request&, httplib::Response& res) {
            res.set_chunked_content_provider("application/octet-stream", [this](size_t, httplib::DataSink& sink) { return Pour(sink); });
        });
        Server.Get("/endless/nolength", [this](const httplib::Request&, httplib::Response& res) {
            res.set_content_provider("application/octet-stream", [this](size_t, httplib::DataSink& sink) { return Pour(sink); });
        });
        Server.Get("/endless/length", [this](const httplib::Request&, httplib::Response& res) {
            res.set_content_provider(size_t(1) << 40, "application/octet-stream",
                [this](size_t, size_t, httplib::DataSink& sink) { return Pour(sink); });
        });
        Server.Get("/bomb", [this](const httplib::Request&, httplib::Response& res) {
            ++Requests;
            res.set_header("Content-Encoding", "gzip");
            res.set_content(Bomb(), "application/octet-stream");
        });
        Server.Get("/silent", [this](const httplib::Request&, httplib::Response& res) {
            ++Requests;
            ++Waiting;
            for (int i = 0; i < SilentMs / 20 && !Stopping; ++i)
                std::this_thread::sleep_for(std::chrono::milliseconds(20));
            --Waiting;
            res.status = 204;
        });
        Start();
    }
    ~THostileHttp() { Stop(); }

    QString Url(const char* path) const { return QStringLiteral("http://127.0.0.1:%1%2").arg(Port).arg(QLatin1String(path)); }

    // Bytes the endless answers sent, requests to the bomb and the silent address, and silent
    // requests held right now.
    std::atomic<uint64_t> Sent = 0;
    std::atomic<int> Requests = 0;
    std::atomic<int> Waiting = 0;

    // BombSize zero bytes as a gzip member.
    static const std::string& Bomb()
    {
        static const std::string bomb = [] {
            const QByteArray zeros(BombSize, '\0');
            const QByteArray zlib = qCompress(zeros, 9);
            // qCompress: 4 bytes of length, a 2-byte zlib header, the deflate data, the Adler-32.
            const QByteArray deflate = zlib.mid(6, zlib.size() - 6 - 4);
            std::string gzip("\x1f\x8b\x08\x00\x00\x00\x00\x00\x02\x03", 10);
            gzip.append(deflate.constData(), size_t(deflate.size()));
            const auto le32 = [&gzip](uint32_t v) {
                for (int i = 0; i < 4; ++i)
                    gzip.push_back(char((v >> (8 * i)) & 0xFF));
            };
            le32(Crc32(zeros));
            le32(uint32_t(BombSize));
            return gzip;
        }();
        return bomb;
    }

private:
    bool Pour(httplib::DataSink& sink)
    {
        static const std::string chunk(64 * 1024, 'x');
        if (Stopping || Sent >= Bound)
            return false;
        Sent += chunk.size();
        return sink.write(chunk.data(), chunk.size());
    }

    static uint32_t Crc32(const QByteArray& bytes)
    {
        static const std::array<uint32_t, 256> table = [] {
            std::array<uint32_t, 256> t {};
            for (uint32_t n = 0; n < 256; ++n) {
                uint32_t c = n;
                for (int k = 0; k < 8; ++k)
                    c = (c & 1) ? 0xEDB88320u ^ (c >> 1) : c >> 1;
                t[n] = c;
            }
            return t;
        }();
        uint32_t crc = 0xFFFFFFFFu;
        for (const char b : bytes)
            crc = table[(crc ^ uint8_t(b)) & 0xFF] ^ (crc >> 8);
        return crc ^ 0xFFFFFFFFu;
    }
};
