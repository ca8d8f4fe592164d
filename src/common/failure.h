#pragma once
// The one way the library fails: it throws, and the entry decides what is
// said and with which status. Nothing below the entry exits or prints a
// failure; the default run's own texts and statuses ("Allocation Failure!",
// "flag error") are defined by it and live in its layer.

#include <stdexcept>
#include <string>

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

// A model, or the mesh or filling asked of it, that cannot be computed.
class ModelError : public Failure {
public:
    using Failure::Failure;
};

// A model file that cannot be read: the message names the file and, where
// there is one, the line ("graphene_hr.dat: line 7: ..."); line() is 0 when
// the file as a whole is refused (it cannot be opened).
class ModelFileError : public ModelError {
public:
    ModelFileError(const std::string& file, int line, const std::string& reason)
        : ModelError(file + (line > 0 ? ": line " + std::to_string(line) : std::string()) + ": " + reason),
          file_(file),
          line_(line) {}
    [[nodiscard]] const std::string& file() const { return file_; }
    [[nodiscard]] int line() const { return line_; }

private:
    std::string file_;
    int line_;
};

}  // namespace lattice_bubble
