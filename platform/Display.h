// The display questions of the layer live with the display backends; this name stays for callers.
#pragma once

#include "platform/display/Display.h"
