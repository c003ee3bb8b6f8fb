#include "random/frontends.hpp"

namespace zorvana {

void register_draws(pybind11::module_&) {}

}  // namespace zorvana
