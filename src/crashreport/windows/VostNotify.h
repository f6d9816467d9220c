// The body of the application's notify override: the last net for exceptions that leave an event
// handler or slot.
#pragma once

#include <functional>

class QEvent;
class QObject;

// Runs baseNotify (the class library's notify); an exception leaving it releases a mouse grab and
// goes to the crash reporter as continuable. Returns what baseNotify returned, false after an
// exception.
bool VostNotify(QObject* receiver, QEvent* event, const std::function<bool(QObject*, QEvent*)>& baseNotify);
