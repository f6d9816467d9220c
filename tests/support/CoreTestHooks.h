// Hooks the tests use to put the core services in a known state; defined in the core library,
// declared only here so that no program code can reach them.
#pragma once

#include <QString>

#include <functional>

// Called by every TAtomicFile::Commit after the data is written and before the rename; a hook that
// throws stands for a program killed at that point. An empty function removes it.
void SetAtomicFileFaultHook(std::function<void(const QString& fileName)> hook);
// Makes ExecutablePath answer path (empty: the real executable again).
void SetExecutablePathOverride(const QString& path);
// Forgets the cached portable-mode answer (tests move the executable path).
void ResetPortableCache();
// Drops the settings singleton without saving.
void ResetSettingsForTests();
