// This module's resource table (bitmaps, string tables), apart from every other module's.
#include "platform/Resources.h"

platform::ResourceTable& platform::ModuleResources() {
    static ResourceTable table;
    return table;
}
