#include "tools/verify_command.h"

#include "core/vault/verify.h"

namespace tuv::tools {

bool run_verify(repository& repo, bool read_data, std::ostream& out) {
    const verify_report report = verify_vault(repo, {read_data});
    for (const std::string& warning : report.warnings) out << warning << "\n";
    for (const std::string& problem : report.problems) out << problem << "\n";
    out << report.summary() << "\n";
    return report.clean();
}

}  // namespace tuv::tools
