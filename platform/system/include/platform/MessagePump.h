// The hook that long operations call to let the message loop run between blocks of work.
//
// The window system installs the pump; without one (a tool, a test of the engine alone) the
// call does nothing. Code that calls it must expect timers and input of the same thread to
// run inside the call.
#pragma once

namespace platform {

using MessagePumpFn = void (*)();

void ProcessPendingMessages();
void SetMessagePump(MessagePumpFn pump);

}  // namespace platform
