// The error report printed for an error that no try frame catches.
#pragma once

namespace zel::boot {

// Installs the report printer: "*** " title and message, then the Where
// and Near lines.
void install_error_report();

}  // namespace zel::boot
