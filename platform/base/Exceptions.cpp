#include "platform/Exceptions.h"

// Out of line so that the type information has one home, in the layer.
Exception::~Exception() = default;
