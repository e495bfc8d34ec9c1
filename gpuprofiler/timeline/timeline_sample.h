#pragma once
// One bar of the timeline: plain data, kept in a growable array in frame order.

#include "bedrock_api.h"

class CQTimelineItem;

struct TimelineSample
{
    // Room for a tooltip text: "[%u], \"%s\", Start: %3.3fms, Len: %3.3fms" cut to 95 characters.
    static constexpr int kTextSize = 96;

    double start = 0.0; // seconds from the frame's time origin
    double length = 0.0; // seconds
    uint8 colour[4] = {}; // red, green, blue, alpha: the bar's base colour
    // The bar's scene item; null until the bars are built, and for a bar that a later bar
    // covers completely at the current zoom (nothing of it would be seen).
    CQTimelineItem *item = nullptr;
};
