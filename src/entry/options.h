#pragma once
// The command line: no arguments for the default run, a request for help or
// for the version, or the options of a study, which fill a StudyRequest
// (request/study_request.h) that the request's own check turns into a study.

#include <iosfwd>
#include <string>
#include <vector>

#include "request/study_request.h"

namespace lattice_bubble {

enum class CommandKind { default_run, help, version, study, refused };

struct Command {
    CommandKind kind = CommandKind::default_run;
    Study study;                        // for CommandKind::study
    std::string refusal;                // for CommandKind::refused: the line for standard error, without its end
    std::vector<std::string> warnings;  // for CommandKind::study: lines for standard error before it starts
};

// Reads the command line. No argument: the default run. "-h", "--help" or
// "--version" among the options: the first of them, whatever else the line
// holds. Otherwise a study, or the first thing wrong with the line. Options
// take "--name value" and "--name=value"; a value may begin with '-'; names
// are not abbreviated; "--" ends the options, and a bare word is refused. A
// scalar option given twice keeps the last (every value given is read).
[[nodiscard]] Command read_command_line(int argc, const char* const* argv, const Environment& environment);

// Every option's lines of --help, from the request's fields.
void write_option_help(std::ostream& out);

}  // namespace lattice_bubble
