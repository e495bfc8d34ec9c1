#pragma once
// Text that came from a target, made safe to show: a target's name in the target list, window
// titles and the log, and the lines that tools log about a target.

#include <QString>

// text with every character that is not printable (controls, formatting characters such as
// bidirectional overrides, line and paragraph separators, unassigned and private code points)
// replaced by U+FFFD, outer white space removed, and cut to nMaxChars characters. A name can
// therefore never start a new line in the log or pose as another line's text.
QString PrintableText(const QString &text, int nMaxChars);
