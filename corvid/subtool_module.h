#pragma once
// A subtool library loaded the way the console loads every tool: resolve CreateInterface, ask it
// for the tool's interface version, and reach the subtool through its second table.

#include "external_subtool.h"

#include <QLibrary>
#include <QString>

class CSubToolModule
{
public:
    CSubToolModule() = default;
    ~CSubToolModule();

    CSubToolModule(const CSubToolModule &) = delete;
    CSubToolModule &operator=(const CSubToolModule &) = delete;

    // Loads the library and connects and initialises its app system. On failure returns false
    // and ErrorString() says why.
    bool Load(const QString &sPath, const char *pszInterfaceVersion);
    // Shuts the app system down, disconnects it and unloads the library. Every connection must
    // have been closed first: the library's windows cannot outlive its code.
    void Unload();

    bool IsLoaded() const { return m_pSubTool != nullptr; }
    ICorvidSubTool *SubTool() const { return m_pSubTool; }
    IAppSystem *AppSystem() const { return m_pAppSystem; }
    QString ErrorString() const { return m_sError; }

private:
    QLibrary m_Library;
    IAppSystem *m_pAppSystem = nullptr;
    ICorvidSubTool *m_pSubTool = nullptr;
    QString m_sError;
};
