#pragma once

// The rules every stored name follows, shared by the store (which refuses what breaks them, whoever
// writes) and the pages (which can say so before saving).

#include <QString>
#include <optional>

namespace veltrane {

// Why the name of a stored object (a parameter set, a size standard, a tag, a project, ...) cannot be
// stored, or nothing when it can. A name may hold any printable text in any script, blanks
// included, but none of these, which would let one name pass for another or break the screen it is
// shown on:
// - control characters (NUL, line breaks, escape sequences) and line or paragraph separators;
// - invisible formatting characters (zero-width spaces and joiners, direction overrides, byte order
//   marks) and spaces other than the ordinary one (no-break and other typographic spaces);
// - text that is not valid Unicode (a lone half of a surrogate pair, a noncharacter);
// - a word that mixes Latin letters with Cyrillic or Greek ones, which look alike ("Dеfault" with a
//   Cyrillic "е"); words wholly in any one script are fine.
// Emptiness is the store's own rule and is not judged here.
std::optional<QString> nameFault(const QString &name);

// Text as it can safely be shown on a terminal or in a message: control and invisible characters and
// broken Unicode written as escapes (\x1B, \u200B), everything else as it is.
QString printable(const QString &text);

} // namespace veltrane
