// The quoted-token splitter shared by the command line (separator blank) and the catalogue
// lines (separator "|").
//
// A token in double quotes loses its quotes, and a doubled quote inside it stands for one, so
// an argument holding blanks or the separator survives as one token. The rules are those the
// catalogue files already on disk were written for; changing them changes how those files read.
#pragma once

#include <vector>

#include "platform/Types.h"

namespace manager {

// The tokens of text in order. Text ends at its first zero byte, as the stored lines do.
std::vector<String> SplitParamsTokens(const String& text, char separator);

}  // namespace manager
