// A loopback HTTP server for tests: cpp-httplib on 127.0.0.1, a port the system picks, served
// from its own thread.
#pragma once

#include <httplib.h>

#include <atomic>
#include <chrono>
#include <thread>

// Register the routes on Server, then Start. A derived class calls Stop in its destructor, so no
// request reaches a half-destroyed handler.
class TLoopbackHttp {
public:
    TLoopbackHttp() = default;
    TLoopbackHttp(const TLoopbackHttp&) = delete;
    TLoopbackHttp& operator=(const TLoopbackHttp&) = delete;
    ~TLoopbackHttp() { Stop(); }

    void Start()
    {
        Port = Server.bind_to_any_port("127.0.0.1");
        Thread = std::thread([this] { Server.listen_after_bind(); });
        while (!Server.is_running())
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    void Stop()
    {
        if (!Thread.joinable())
            return;
        Stopping = true;
        Server.stop();
        Thread.join();
    }

    httplib::Server Server;
    // Set when the server goes down, so that slow handlers can end.
    std::atomic<bool> Stopping = false;
    int Port = 0;

private:
    std::thread Thread;
};
