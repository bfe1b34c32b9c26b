// Quillmark_Export's command line: finds the vault through the registry value
// db_path, checks the arguments and exports each source in the order given
// (see export_engine.h for what is written where and what is logged).
//
//   Quillmark_Export [-<letters>] <src> [<src>...] <dist_dir>
//
// The option word is the first argument when it begins with "-": at most two
// letters, each ORed into its group: f 1, d 2, b 3 into the entry filter
// (default 3, both); l 1, a 2, o 3 into the version mode (default 1, latest),
// so "-la" asks for the oldest version. Sources are separate arguments; a
// comma is part of a path.
//
// Start-up, in this order:
// - no db_path registered: "No vault is registered for this user (registry
//   value db_path)" on `err`, exit code 3;
// - the registry file or the vault cannot be read: the error's text (control
//   characters shown as pictures, core/base/control_pictures.h) and a line
//   break on `out`, exit code 3;
// - a wrong command line: one of "Invalid number of arguments", "Invalid
//   number of options", "Invalid option", "Invalid destination: the folder
//   name is empty", "Invalid source: the vault path is empty" and a line
//   break on `err`, then export_usage and a line break, exit code 2.
// Then exit code 0 when everything was exported, 1 when a source was not in
// the vault or anything was logged.
#pragma once

#include <ostream>

namespace tuv {

inline constexpr const char* export_usage =
    "usage:\n"
    " export_utility <[f/d/b] [a/l/o]> <src,...> <dist_dir>\n"
    " -f only files under given directories will be checked out.\n"
    " -d only subdirectories under given directories will be checked out.\n"
    " -b both file and directories under given directory will be checked out.\n"
    " -l latest version will be checked out.\n"
    " -o oldest(first) version will be checked out.\n"
    " -a all versions will be checked out.";

// Runs the program on its arguments (argv[0] the program's name). `out`
// takes the all-versions progress lines and the start-up failure; `err` the
// command-line errors and the log lines the log file cannot take.
int run_export_command(int argc, const char* const* argv, std::ostream& out, std::ostream& err);

}  // namespace tuv
