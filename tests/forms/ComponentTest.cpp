#include <gtest/gtest.h>

#include "platform/Components.h"
