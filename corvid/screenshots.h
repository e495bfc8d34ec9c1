#pragma once
// Pictures of the console's windows, for the README and for runs without a display.

#include <QString>

class QMainWindow;

// Saves every visible top-level window as <dir>/<n>-<title>.png.
void SaveWindowScreenshots(const QString &sDir);

// Walks through the profiler the way a user would and saves a picture at each stop: the
// console, the profiler recording, the profiler paused with the sample hierarchy open and a
// sample picked, and the resource window's texture and buffer lists. Quits the application when
// done; nStartMs gives the profiler time to fill its history first.
void RunScreenshotTour(QMainWindow *pConsole, const QString &sDir, int nStartMs);
