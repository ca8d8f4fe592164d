#pragma once
// The one way the library fails, but for the FFT engine's abort on a size it
// cannot take: it throws, and the entry decides what is said and with which
// status. Nothing below the entry exits, prints a failure or touches the
// process's streams and signals; the behaviours the default run defines (its
// work arrays' fatal message, "flag error") are its own, in src/default_run.

#include <stdexcept>

namespace lattice_bubble {

// A computation that cannot go on, with a message for its user.
class Failure : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

// A computation ended early because its caller asked it to (Workers::stop).
class Stopped : public Failure {
public:
    Stopped() : Failure("stopped on request") {}
};

}  // namespace lattice_bubble
