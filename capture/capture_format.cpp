#include "capture_format.h"

#include <chrono>
#include <ctime>

const char *ProductVersion()
{
    return GPUPROF_VERSION;
}

int64 CaptureTimeNow()
{
    using namespace std::chrono;
    return duration_cast<microseconds>(system_clock::now().time_since_epoch()).count();
}

std::string FormatCaptureTime(int64 nTakenAtUs)
{
    // Floor division, so times before 1970 land on the right second.
    int64 nSeconds = nTakenAtUs / 1000000;
    if (nTakenAtUs % 1000000 < 0)
        --nSeconds;
    const std::time_t nTime = std::time_t(nSeconds);
    std::tm parts{};
    char text[32];
#if defined(_WIN32)
    const bool bConverted = gmtime_s(&parts, &nTime) == 0;
#else
    const bool bConverted = gmtime_r(&nTime, &parts) != nullptr;
#endif
    if (!bConverted || !std::strftime(text, sizeof(text), "%Y-%m-%dT%H:%M:%SZ", &parts))
        return "unknown time";
    return text;
}
