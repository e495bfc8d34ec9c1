#pragma once
// Text that came from a target, made safe to show: target names in the console's list, window
// titles and logs, the lines tools log about a target, swap-chain names and the reasons the
// profiler gives for what it dropped. The console and the plug-in clean such text by one rule.

#include <QString>

#include <cstddef>

// The rule: every character that is not printable (controls, formatting characters such as
// bidirectional overrides, line and paragraph separators, surrogates, private-use and
// unassigned code points) becomes U+FFFD, outer white space is removed, and the text is cut to
// nMaxChars characters, never inside a surrogate pair. Such a text can never start a new line in
// a log or pose as another line's text, and it stretches no label beyond its bound.
QString PrintableText(const QString &text, int nMaxChars);

// The same rule for 8-bit text as a target's records carry it, read as Latin-1 up to its
// terminator and at most nMaxBytes bytes (so at most nMaxBytes characters). A null pText is the
// empty text.
QString PrintableLatin1Text(const char *pText, size_t nMaxBytes);
