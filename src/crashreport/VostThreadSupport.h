// What the reporter's threads, throw records and watchdog add to the reporter's core: the steps
// and hooks it installs at start-up and removes at the end.
#pragma once

#include <string>

struct TComposeRequest;

// Called by InitCrashReporter first: names the main thread, gives the core the throw records'
// look-up, the watchdog and pause steps and (when none is set) a report builder with thread
// sections, and, when exceptions are caught, turns the thread wrapper on.
void InstallThreadSupport();
// Called by DoneCrashReporter: the thread wrapper goes off.
void RemoveThreadSupport();

// The thread sections of a report for the core's compose request, all threads but the one the
// request's own section shows (the crashed thread, or the main thread of a freeze).
std::string OtherThreadSections(const TComposeRequest& request);
