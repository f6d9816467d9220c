// Names and printed values for the cases of parameterised tests, so that each case reads as its
// case in the test list instead of an index or a byte dump.
#pragma once

#include <cmath>
#include <sstream>
#include <string>
#include <string_view>

// text as a test name: letters and digits kept, "-" as "Minus", "." as "_", anything else dropped.
inline std::string CaseName(std::string_view text)
{
    std::string name;
    for (const char ch : text) {
        if ((ch >= 'a' && ch <= 'z') || (ch >= 'A' && ch <= 'Z') || (ch >= '0' && ch <= '9'))
            name += ch;
        else if (ch == '-')
            name += "Minus";
        else if (ch == '.')
            name += '_';
    }
    return name;
}

// A number as a test name: 0.25 -> "0_25", -33.5 -> "Minus33_5", NaN -> "NaN", infinity -> "Inf".
inline std::string CaseName(double value)
{
    if (std::isnan(value))
        return "NaN";
    if (std::isinf(value))
        return value < 0 ? "MinusInf" : "Inf";
    std::ostringstream text;
    text.precision(15);
    text << value;
    return CaseName(text.str());
}
