#include "platform/MessagePump.h"

namespace platform {
namespace {
MessagePumpFn g_pump = nullptr;
}

void ProcessPendingMessages() {
    if (g_pump) g_pump();
}

void SetMessagePump(MessagePumpFn pump) { g_pump = pump; }

}  // namespace platform
