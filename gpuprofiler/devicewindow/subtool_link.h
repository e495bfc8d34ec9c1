#pragma once
// A device window's only way back to the subtool that keeps its record: sending a command to
// its target and telling the subtool that the window is being closed. The plug-in installs the
// two operations before it makes the first window; a window without them sends nothing.

#include "bedrock_api.h"

struct SubToolLink
{
    bool (*SendTargetCommand)(uint32 nWindowId, uint32 nCode, uint32 nValue);
    void (*ForgetWindow)(uint32 nWindowId);
};

void SetSubToolLink(const SubToolLink &link);
const SubToolLink &GetSubToolLink();
