// Writes the registration of the library's classes into the system's class
// registry, with this module's path as the in-process server.
#pragma once

namespace kelvora {

// Best effort: a write that fails is skipped, the others still go in.
void RegisterStationClasses();

}  // namespace kelvora
