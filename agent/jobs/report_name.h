// The texts of a header record made fit for document and file names.
#pragma once

#include <string>
#include <string_view>

namespace vorn {

// `text` without its trailing blanks (0x20); nothing else is trimmed.
std::string_view trimTrailingBlanks(std::string_view text);

// Replaces every character that a file name cannot hold: with JetformFlag set
// the set includes the blank and the replacement is '_', otherwise blanks are
// kept and the replacement is '+'. A NUL byte is always replaced.
std::string sanitiseName(std::string_view name, bool jetform);

// The form name as a part of an output file name: only what cannot stand in
// a file name or would lead out of the folder is replaced (the reserved
// characters, control characters, and a name made only of dots), with the
// report name's replacement ('_' with JetformFlag set, '+' otherwise).
// Blanks stay.
std::string fileNameForm(std::string_view form, bool jetform);

}  // namespace vorn
