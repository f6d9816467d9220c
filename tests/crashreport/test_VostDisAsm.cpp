// The decoder, the instruction text, the function analyser and the listing.
#include "crashreport/VostDisAsm.h"

#include <gtest/gtest.h>
