// Placeholder registration: the datatype's actions are being built.
#include "runtime/datatypes/types.h"

namespace zel {

namespace file {
void init() { datatypes::register_default(TYPE_FILE); }
}  // namespace file

}  // namespace zel
