// The registry of the element-wise functions: one table of rows per group,
// in the order the module's attributes are created.
#pragma once

#include <vector>

#include "module/batch.hpp"

namespace zorvana {

std::vector<Row> density_rows();
std::vector<Row> distribution_function_rows();
std::vector<Row> quantile_rows();

// The rows of zorvana.accurate, same names and order.
std::vector<Row> accurate_density_rows();
std::vector<Row> accurate_distribution_function_rows();
std::vector<Row> accurate_quantile_rows();

}  // namespace zorvana
