// The message of a project error, for tests with and without GoogleTest.
#pragma once

#include "core/uGeneral.h"

#include <functional>

// The message of the project error f raises, or "<no error>".
inline QString MessageOf(const std::function<void()>& f)
{
    try {
        f();
    } catch (const ETarvellError& e) {
        return e.Message();
    }
    return QStringLiteral("<no error>");
}
