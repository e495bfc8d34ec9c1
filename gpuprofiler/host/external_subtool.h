#pragma once
// The object that a subtool library hands out through CreateInterface: an app system that is
// also a subtool. Its primary table is the app-system one; ICorvidSubTool is its second base.

#include "app_system.h"
#include "corvid_interfaces.h"

class IExternalSubTool : public IAppSystem, public ICorvidSubTool
{
protected:
    constexpr IExternalSubTool() = default;
    ~IExternalSubTool() = default;
};

class IExternalCorvidSubTool : public CBaseAppSystem<IExternalSubTool>
{
protected:
    constexpr IExternalCorvidSubTool() = default;
    ~IExternalCorvidSubTool() = default;
};
