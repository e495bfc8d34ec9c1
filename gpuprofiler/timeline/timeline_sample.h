#pragma once
// One bar of the timeline: plain data, kept in a growable array in frame order.

#include "bedrock/bedrock_api.h"

class CQTimelineItem;

struct TimelineSample
{
    static constexpr int kTextSize = 96;

    double start = 0.0;  // seconds from the frame's time origin
    double length = 0.0; // seconds
    uint8 colour[4] = {}; // red, green, blue, alpha: the bar's base colour
    char text[kTextSize] = {}; // tooltip text, always terminated
    CQTimelineItem *item = nullptr; // the bar's scene item; null until the bars are built
};
