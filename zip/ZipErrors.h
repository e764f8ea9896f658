// Exceptions of the zip engine. Messages are fixed English texts that reports show as they are.
#pragma once

#include "platform/Exceptions.h"

TARVIK_EXCEPTION(EUserCanceled, Exception);
TARVIK_EXCEPTION(EFatalUnzipError, Exception);
TARVIK_EXCEPTION(EIncompleteZip, Exception);
// An operation was asked for while the component was busy with another one.
TARVIK_EXCEPTION(EZipBusy, Exception);
