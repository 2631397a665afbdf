#pragma once

namespace veltrane {

// Ctrl-C in the terminal, or SIGTERM from the system, asks a windowless run to stop: the
// work notices at its next look and takes back what it did. A second request ends the
// program at once, the way such a request usually does; the journal then lets the next start
// take the install back.
namespace StopRequest {

// Catches the requests from now on.
void watch();
// Whether one came.
bool requested();

} // namespace StopRequest

} // namespace veltrane
