#pragma once
// The request to end the application. It takes effect when control reaches the
// event loop, also when it is made before the loop has started.

namespace Platform {

void terminateApplication();
bool terminationRequested();
// Tests start each case afresh.
void resetTerminationRequest();

} // namespace Platform
