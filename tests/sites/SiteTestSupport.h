// Shared by the site tests: a loopback HTTP server that answers by path and logs every request,
// and private data and cache folders with the profiles cleared.
#pragma once

#include "core/uLocations.h"
#include "sites/uUpdateItems.h"
#include "support/LoopbackHttp.h"

#include <QByteArray>
#include <QString>
#include <QTemporaryDir>

#include <atomic>
#include <chrono>
#include <map>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

struct TAnswer {
    int Status = 200;
    std::string Body;
    std::string ETag;
    std::string Redirect;
    bool CutShort = false;
    bool Stall = false;
    // Checks of the request's parameters; the answer is 400 when one fails.
    std::map<std::string, std::string> Params;

    TAnswer& WithStatus(int v)
    {
        Status = v;
        return *this;
    }
    TAnswer& WithBody(std::string v)
    {
        Body = std::move(v);
        return *this;
    }
    TAnswer& WithETag(std::string v)
    {
        ETag = std::move(v);
        return *this;
    }
    TAnswer& WithRedirect(std::string v)
    {
        Redirect = std::move(v);
        return *this;
    }
    TAnswer& WithCutShort(bool v)
    {
        CutShort = v;
        return *this;
    }
    TAnswer& WithStall(bool v)
    {
        Stall = v;
        return *this;
    }
    TAnswer& WithParams(std::map<std::string, std::string> v)
    {
        Params = std::move(v);
        return *this;
    }
};

class TLoopbackServer : public TLoopbackHttp {
public:
    TLoopbackServer()
    {
        Server.Get(".*", [this](const httplib::Request& req, httplib::Response& res) { Serve(req, res); });
        Start();
    }
    ~TLoopbackServer() { Stop(); }

    QString Base() const { return QStringLiteral("http://127.0.0.1:%1").arg(Port); }
    void Set(const std::string& path, TAnswer answer)
    {
        std::lock_guard lock(Mutex);
        Answers[path] = std::move(answer);
    }
    std::vector<std::string> Log()
    {
        std::lock_guard lock(Mutex);
        return Requests;
    }
    int Count(const std::string& path)
    {
        std::lock_guard lock(Mutex);
        int n = 0;
        for (const std::string& r : Requests)
            n += r.substr(0, r.find('?')) == path;
        return n;
    }
    std::atomic<int> NotModified { 0 };

private:
    void Serve(const httplib::Request& req, httplib::Response& res)
    {
        TAnswer a;
        {
            std::lock_guard lock(Mutex);
            Requests.push_back(req.target);
            const auto it = Answers.find(req.path);
            if (it == Answers.end()) {
                res.status = 404;
                return;
            }
            a = it->second;
        }
        for (const auto& [name, value] : a.Params)
            if (req.get_param_value(name.c_str()) != value) {
                res.status = 400;
                return;
            }
        if (!a.Redirect.empty()) {
            res.set_redirect(a.Redirect.c_str());
            return;
        }
        if (!a.ETag.empty()) {
            res.set_header("ETag", a.ETag.c_str());
            if (req.get_header_value("If-None-Match") == a.ETag) {
                ++NotModified;
                res.status = 304;
                return;
            }
        }
        res.status = a.Status;
        if (a.CutShort) {
            const std::string body = a.Body;
            res.set_content_provider(
                body.size() + 1000, "application/octet-stream", [body](size_t offset, size_t, httplib::DataSink& sink) {
                    if (offset == 0)
                        sink.write(body.data(), body.size());
                    return offset == 0;
                });
            return;
        }
        if (a.Stall) {
            res.set_chunked_content_provider(
                "application/octet-stream", [this](size_t offset, httplib::DataSink& sink) {
                    if (offset == 0) {
                        sink.write("x", 1);
                        return true;
                    }
                    for (int i = 0; i < 250 && !Stopping; ++i)
                        std::this_thread::sleep_for(std::chrono::milliseconds(20));
                    return false;
                });
            return;
        }
        res.set_content(a.Body, "application/octet-stream");
    }

    std::mutex Mutex;
    std::map<std::string, TAnswer> Answers;
    std::vector<std::string> Requests;
};

// Points the data and cache folders at fresh ones and starts with no profile items; restores
// the folders afterwards.
class TSiteTestHome {
public:
    TSiteTestHome()
    {
        FOldDataHome = qgetenv("XDG_DATA_HOME");
        FOldCacheHome = qgetenv("XDG_CACHE_HOME");
        qputenv("XDG_DATA_HOME", FDataHome.path().toLocal8Bit());
        qputenv("XDG_CACHE_HOME", FCacheHome.path().toLocal8Bit());
        ResetDataDirCache();
        ClearAutoUpdateProfiles();
        LoadAutoUpdateProfiles();
    }
    ~TSiteTestHome()
    {
        ClearAutoUpdateProfiles();
        qputenv("XDG_DATA_HOME", FOldDataHome);
        qputenv("XDG_CACHE_HOME", FOldCacheHome);
        ResetDataDirCache();
    }
    TSiteTestHome(const TSiteTestHome&) = delete;
    TSiteTestHome& operator=(const TSiteTestHome&) = delete;

private:
    QByteArray FOldDataHome, FOldCacheHome;
    QTemporaryDir FDataHome;
    QTemporaryDir FCacheHome;
};
