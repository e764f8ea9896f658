// Exceptions of the deflate compressor.
//
// `EInvalidMatch` reports a match whose bytes differ from the input at the current position;
// `EDeflateError` reports any other broken invariant of the compressor (a window position out of
// range, a bit length that its tree cannot code, a source that returns more than it was asked
// for). Neither can happen with correct code; they exist so that a fault stops the archive update
// instead of writing wrong data.
#pragma once

#include "platform/Exceptions.h"

TARVIK_EXCEPTION(EInvalidMatch, Exception);
TARVIK_EXCEPTION(EDeflateError, Exception);
