// Long text where it must fit the screen: message boxes and tooltips wrap only between words, so
// that a long name or path, one word to them, would run past the screen and lose its end.
#pragma once

#include <QString>

namespace corvane::platform {

// `text` with a chance to wrap inside each run of more than 30 characters without a space: a
// zero-width space after each of its characters (never inside a surrogate pair or before a
// combining mark).
QString WithWrapPoints(const QString& text);

// `text` as a tooltip that wraps to a width the screen holds instead of running on in one line:
// rich text, its characters escaped and its spaces kept, with WithWrapPoints' chances to wrap.
// Empty for an empty text (no tooltip).
QString WrappedToolTip(const QString& text);

}  // namespace corvane::platform
