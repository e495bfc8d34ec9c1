#pragma once
// A broken invariant stops a fuzz run the way a sanitizer finding does, so that libFuzzer keeps
// the input that broke it.

#include <cstdlib>

inline void Check(bool bHolds)
{
    if (!bHolds)
        std::abort();
}
