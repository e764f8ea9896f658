// Wildcard matching of names: "*", "?", "[set]", "[!set]" / "[^set]" with ranges "a-z".
//
// Matching ignores the case of ASCII letters and knows no escape character. The result codes
// tell why a name did not match; callers that only need yes or no use IsWildMatch.
#pragma once

#include "platform/Types.h"

enum TWildMatchCode : int {
    wmMatch = 1,
    wmPatternEnded = 2,   // text was left over
    wmTextEnded = 3,      // pattern was left over
    wmSetRejected = 4,    // a set did not admit the character
    wmCharDiffered = 5,
    wmMalformed = 6,      // empty set, missing "]", range without its last character
};

bool IsWildMatch(const String& pattern, const String& text);
int WildMatchCode(const String& pattern, const String& text);
// Pattern starting at a "*"; 0 when no position after the star was tried.
int WildMatchAfterStar(const String& pattern, const String& text);
