// Registration of every datatype in its fixed order.
#pragma once
#include <cstdint>
#include "runtime/cell.h"

namespace zel {

namespace datatypes {
// Registers datatype! to image! (event! is registered by the entry code).
void register_all();
// Registers a row that inherits every slot from the parent (or is empty),
// with the type's fixed parent and name.
void register_default(uint32_t type_id);
}  // namespace datatypes

// Each datatype module registers its own row.
namespace datatype { void init(); }
namespace unset { void init(); }
namespace none { void init(); }
namespace logic { void init(); }
namespace series { void init(); }
namespace block { void init(); }
namespace paren { void init(); }
namespace path { void init(); }
namespace lit_path { void init(); }
namespace set_path { void init(); }
namespace get_path { void init(); }
namespace string { void init(); }
namespace url { void init(); }
namespace file { void init(); }
namespace integer { void init(); }
namespace char_ { void init(); }
namespace float_ { void init(); }
namespace percent { void init(); }
namespace time { void init(); }
namespace symbol { void init(); }
namespace context { void init(); }
namespace word { void init(); }
namespace lit_word { void init(); }
namespace set_word { void init(); }
namespace get_word { void init(); }
namespace refinement { void init(); }
namespace issue { void init(); }
namespace typeset { void init(); }
namespace native { void init(); }
namespace action { void init(); }
namespace op { void init(); }
namespace function { void init(); }
namespace routine { void init(); }

}  // namespace zel
