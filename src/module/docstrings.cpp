// Placeholder table: no callable has a text signature or prose yet.
#include "module/docstrings.hpp"

namespace zorvana {

Doc doc_of(const char*) { return {nullptr, nullptr}; }

}  // namespace zorvana
