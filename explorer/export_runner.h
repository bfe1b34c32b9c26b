// The explorer's exports (File > Export and the check-out of a folder) run
// the export engine on a worker thread: a large tree takes minutes, and the
// window must keep drawing meanwhile. A busy indicator names the destination
// once the export has run for half a second. Input waits until it ends,
// since the vault is the worker's for that time.
#pragma once

#include <QString>
#include <string>

#include "export/export_engine.h"

namespace tuv {
class repository;
namespace gui {
class prompter;
}
}  // namespace tuv

namespace tuv::explorer {

// Exports `source` (a vault path) to `destination` and tells the person
// what could not be written (tell_export_failures). Returns the number of
// failures. Exceptions that the engine lets through (memory) come back on
// the calling thread.
int run_export(repository& repo, const std::string& source, const QString& destination,
               version_mode mode, gui::prompter& prompts);

}  // namespace tuv::explorer
