// A program that restarts itself once through the crash reporter's restart, for the restart
// tests: "restart OUT" hands a history to its successor and lingers before ending; the successor
// notes what it received, its name and whether its predecessor had already gone. "restart-direct OUT"
// restarts at once; "close" closes.
#include "crashreport/logic/VostReportFile.h"

#include <chrono>
#include <cstring>
#include <fstream>
#include <string>
#include <thread>

#include <sys/stat.h>
#include <unistd.h>

int main(int argc, char** argv)
{
    TRestartHistory history {};
    const bool resumed = ResumeAfterRestart(history);
    SaveProgramArguments(argc, argv);
    if (argc < 2)
        return 3;
    if (std::strcmp(argv[1], "close") == 0)
        CloseProgram();
    const bool direct = std::strcmp(argv[1], "restart-direct") == 0;
    if ((std::strcmp(argv[1], "restart") != 0 && !direct) || argc < 3)
        return 3;
    const std::string out = argv[2];
    std::ofstream(out + ".starts", std::ios::app) << (resumed ? "resumed" : "first") << "\n";
    if (resumed) {
        struct stat info { };
        std::ofstream result(out + ".child");
        result << "parent gone " << (::stat((out + ".parent").c_str(), &info) == 0 ? "yes" : "no") << "\n";
        // The name the process list shows, and the program name it was given.
        std::string name;
        std::getline(std::ifstream("/proc/self/comm"), name);
        result << "name " << name << "\nargv0 " << argv[0] << "\n";
        for (const uint64_t stamp : history)
            result << stamp << "\n";
        return 0;
    }
    for (size_t i = 0; i < history.size(); ++i)
        history[i] = 1000 + i;
    if (direct) {
        std::ofstream(out + ".parent") << "done\n";
        RestartProgramWith(history);
    }
    if (!StartRestartedProcess(history))
        return 4;
    // The successor must wait for us: linger, then leave a mark just before ending.
    std::this_thread::sleep_for(std::chrono::milliseconds(400));
    std::ofstream(out + ".parent") << "done\n";
    ::_exit(2);
}
