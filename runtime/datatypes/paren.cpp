// Placeholder registration: the datatype's actions are being built.
#include "runtime/datatypes/types.h"

namespace zel {

namespace paren {
void init() { datatypes::register_default(TYPE_PAREN); }
}  // namespace paren

}  // namespace zel
