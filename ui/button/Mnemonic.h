// The "&" markers of a button's caption, read once for both the face and the access key, so that
// the character the face underlines is always the one Alt reaches.
//
// "&&" shows one "&". The first single "&" marks the character after it, unless two doubled
// "&&" come before it: the marker search never goes past the second "&" it finds, so
// "a&&b&&c&d" marks nothing. Every other single "&", and a trailing one, shows nothing.
#pragma once

#include <QString>

namespace corvane {

struct Mnemonic {
    QString Text;               // the caption as shown
    qsizetype Underlined = -1;  // index into Text of the marked character, -1 for none

    // The marked character in lower case, or an empty string.
    QString AccessKey() const;
    // Text in the painter's marker convention, marking only the underlined character.
    QString ForPainter() const;
};

Mnemonic ParseMnemonic(const QString& caption);

}  // namespace corvane
