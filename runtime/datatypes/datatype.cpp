// Placeholder registration: the datatype's actions are being built.
#include "runtime/datatypes/types.h"

namespace zel {

namespace datatype {
void init() { datatypes::register_default(TYPE_DATATYPE); }
}  // namespace datatype

}  // namespace zel
