// What the crash reporter does with a finished report besides mailing it: appending it to the
// bug-report file, and ending the program by a restart or a close.
#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

// The folder that relative bug-report file names resolve against (the program's data folder:
// an installed executable's folder is not writable). Set once at start-up.
// Setting it also points the minimal and emergency reports at the bug-report file there.
void SetReportDataFolder(std::string folder);
std::string ReportDataFolder();
// The bug-report file of the settings: "%appname%" expanded, a relative name in the data folder.
std::string BugReportFileName();
// Hands BugReportFileName to the minimal and emergency reports (none while it is not absolute).
void UpdateMinimalReportFile();

// True for a path that needs no save dialog: it starts with "/".
bool IsAbsoluteReportPath(std::string_view path);
// The name, absolute ones as they are, relative ones inside folder.
std::string ResolveReportPath(std::string_view name, std::string_view folder);

// Creates the folder of a file path with all missing parents (mode 0700 for new ones); true when
// the folder exists afterwards. An empty folder part is false.
bool CreateFolderPath(const std::string& filePath);

// Appends report and CR LF CR LF to the file at path under an exclusive lock, creating it and its
// folder when missing. maxSize 0: the file afterwards holds only this report. maxSize > 0 and the
// file grew beyond it: the oldest reports are cut away so that fewer than maxSize - maxSize / 4
// bytes remain, cutting only where a report starts (offset 0, or "date/time" after CR LF CR LF);
// when no start qualifies only the newest report stays. A shortened or replaced file is written to
// a temporary sibling and renamed into place, so a failure leaves the previous file whole.
// False when the file could not be opened or written.
bool AppendReportToFile(const std::string& path, std::string_view report, uint32_t maxSize);

// A folder of our own for temporary files (mkdtemp under TMPDIR, mode 0700), made on first use;
// empty when it cannot be made.
std::string PrivateTempFolder();
// Writes bytes to a new file name in the private folder (O_EXCL | O_NOFOLLOW, mode 0600); the full
// path, or empty on failure. An existing name there gets a numbered variant.
std::string WritePrivateTempFile(std::string_view name, std::string_view bytes);

// The exception time stamps handed to a restarted process: ten entries, newest first.
using TRestartHistory = std::array<uint64_t, 10>;

// The 88 bytes a restarted process receives: the old process id, a reserved word (the handle of
// the mapping on the original system; 0 here) and the history, little-endian.
constexpr size_t RestartRecordSize = 88;
std::string PackRestartRecord(uint32_t oldProcessId, const TRestartHistory& history);
bool UnpackRestartRecord(std::string_view bytes, uint32_t& oldProcessId, TRestartHistory& history);

// The executable's real path, read on the first call (the reporter's start makes it): the box's
// helper and a restarted program run it, so that they carry its name, not "exe". "/proc/self/exe"
// when the link cannot be read.
const std::string& ProgramFilePath();

// The program's arguments as it was started (argv[0] included), kept for a restart.
void SaveProgramArguments(int argc, const char* const* argv);
const std::vector<std::string>& SavedProgramArguments();

// The environment variable that names the inherited descriptor of the restart pipe.
inline constexpr const char* RestartPipeVariable = "VostExceptRestart";

// Starts ProgramFilePath with the saved arguments and an inherited pipe that carries the restart
// record; the write end stays open (close-on-exec) in this process, so the new one sees its end of
// file only when this process has gone. True when the new process started.
bool StartRestartedProcess(const TRestartHistory& history);
// StartRestartedProcess, then _exit(2), also when the start failed.
[[noreturn]] void RestartProgramWith(const TRestartHistory& history);
// Ends this process with exit code 1, without finalisation.
[[noreturn]] void CloseProgram();

// At start-up, before anything else: when this process was started by a restart, reads the
// record from the inherited pipe, waits until the previous process has ended (the pipe's end of
// file) and gives its history. The variable is removed, so a process started by this one is
// not taken for a restart. False (history untouched) for an ordinary start.
bool ResumeAfterRestart(TRestartHistory& history);
