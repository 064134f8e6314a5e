// Placeholder registration: the datatype's actions are being built.
#include "runtime/datatypes/types.h"

namespace zel {

namespace symbol {
void init() { datatypes::register_default(TYPE_SYMBOL); }
}  // namespace symbol

}  // namespace zel
