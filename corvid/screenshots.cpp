#include "screenshots.h"

#include <QAction>
#include <QApplication>
#include <QDir>
#include <QMainWindow>
#include <QRegularExpression>
#include <QTabWidget>
#include <QTimer>
#include <QTreeView>

#include <algorithm>
#include <cstdio>
#include <functional>
#include <memory>

namespace {

// The first action with this text among the window's actions, or null.
QAction *FindAction(QWidget *pWindow, const QString &sText)
{
    for (QAction *pAction : pWindow->findChildren<QAction *>()) {
        if (pAction->text().remove(QLatin1Char('&')) == sText)
            return pAction;
    }
    return nullptr;
}

QWidget *FindTopLevel(const char *pszClassName, QWidget *pNot = nullptr)
{
    for (QWidget *pWidget : QApplication::topLevelWidgets()) {
        if (pWidget != pNot && pWidget->isVisible() && pWidget->inherits(pszClassName))
            return pWidget;
    }
    return nullptr;
}

void Save(QWidget *pWidget, const QString &sDir, const QString &sName, QStringList &saved)
{
    const QString sPath = QDir(sDir).filePath(sName);
    if (pWidget && pWidget->grab().save(sPath))
        saved << sPath;
}

} // namespace

void SaveWindowScreenshots(const QString &sDir)
{
    QDir().mkpath(sDir);
    int n = 0;
    for (QWidget *pWidget : QApplication::topLevelWidgets()) {
        if (!pWidget->isVisible() || pWidget->windowTitle().isEmpty())
            continue;
        QString sName = pWidget->windowTitle().trimmed();
        sName.replace(QRegularExpression(QStringLiteral("[^A-Za-z0-9]+")), QStringLiteral("-"));
        pWidget->grab().save(QDir(sDir).filePath(QStringLiteral("%1-%2.png").arg(++n).arg(sName)));
    }
}

void RunScreenshotTour(QMainWindow *pConsole, const QString &sDir, int nStartMs)
{
    QDir().mkpath(sDir);
    // What was saved, listed when the tour ends.
    auto pSaved = std::make_shared<QStringList>();
    auto step = [](int nMs, std::function<void()> fn) { QTimer::singleShot(nMs, qApp, std::move(fn)); };
    step(nStartMs, [=] {
        QWidget *pProfiler = FindTopLevel("QMainWindow", pConsole);
        Save(pConsole, sDir, QStringLiteral("console.png"), *pSaved);
        Save(pProfiler, sDir, QStringLiteral("profiler-live.png"), *pSaved);
        if (!pProfiler)
            return;
        if (QAction *pPause = FindAction(pProfiler, QStringLiteral("Pause")))
            pPause->trigger();
        if (QAction *pHierarchy = FindAction(pProfiler, QStringLiteral("Hierarchy")); pHierarchy && !pHierarchy->isChecked())
            pHierarchy->trigger();
        if (QAction *pExpand = FindAction(pProfiler, QStringLiteral("Expand All")))
            pExpand->trigger();
    });
    // A sample picked in the tree: the inspector shows it and the timeline's cursor moves to it.
    step(nStartMs + 500, [=] {
        QWidget *pProfiler = FindTopLevel("QMainWindow", pConsole);
        QTreeView *pTree = pProfiler ? pProfiler->findChild<QTreeView *>() : nullptr;
        if (!pTree || !pTree->model())
            return;
        QModelIndex index = pTree->model()->index(0, 0);
        while (pTree->model()->rowCount(index) > 0)
            index = pTree->model()->index(std::min(3, pTree->model()->rowCount(index) - 1), 0, index);
        pTree->setCurrentIndex(index);
        pTree->scrollTo(index);
    });
    step(nStartMs + 1000, [=] {
        QWidget *pProfiler = FindTopLevel("QMainWindow", pConsole);
        Save(pProfiler, sDir, QStringLiteral("profiler-paused.png"), *pSaved);
        if (QAction *pAction = pProfiler ? FindAction(pProfiler, QStringLiteral("GPU Resource List")) : nullptr)
            pAction->trigger();
    });
    // The resource window: the texture list first, then the buffer list with its histogram.
    auto resourceWindow = [pConsole] {
        QWidget *pProfiler = FindTopLevel("QMainWindow", pConsole);
        for (QWidget *pWidget : QApplication::topLevelWidgets()) {
            if (pWidget->isVisible() && pWidget != pConsole && pWidget != pProfiler && !pWidget->windowTitle().isEmpty())
                return pWidget;
        }
        return static_cast<QWidget *>(nullptr);
    };
    step(nStartMs + 2500, [=] {
        QWidget *pResources = resourceWindow();
        Save(pResources, sDir, QStringLiteral("resources-textures.png"), *pSaved);
        if (QTabWidget *pTabs = pResources ? pResources->findChild<QTabWidget *>() : nullptr)
            pTabs->setCurrentIndex(pTabs->count() - 1);
    });
    step(nStartMs + 3000, [=] {
        Save(resourceWindow(), sDir, QStringLiteral("resources-buffers.png"), *pSaved);
        for (const QString &sPath : std::as_const(*pSaved))
            std::printf("%s\n", qPrintable(sPath));
        QApplication::quit();
    });
}
