// Placeholder registration: the datatype's actions are being built.
#include "runtime/datatypes/types.h"

namespace zel {

namespace logic {
void init() { datatypes::register_default(TYPE_LOGIC); }
}  // namespace logic

}  // namespace zel
