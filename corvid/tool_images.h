#pragma once
// The console's image directory, which tools address with the "toolimages:" prefix. The console
// draws its icons at start-up into a private folder, so it ships no image files.

#include <QString>

// Draws the icons into a folder below sBaseDir (created if needed), registers the folder as the
// "toolimages" search path and returns it; an empty string when the folder cannot be written.
QString InstallToolImages(const QString &sBaseDir);
