#pragma once
// The one way the library fails: it throws, and the entry decides what is
// said and with which status. Nothing below the entry exits or prints a
// failure; the default run's own texts and statuses ("Allocation Failure!",
// "flag error") are defined by it and live in its layer.

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

// Standard output could not be written, for the system's reason.
class OutputLost : public Failure {
public:
    using Failure::Failure;
};

}  // namespace lattice_bubble
