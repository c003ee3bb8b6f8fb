// Seeds between Python and the Engine: what Engine(seed) accepts, what
// Engine() draws from the operating system, and how a seed is shown and
// pickled (Python objects from which Engine(...) makes the same seeding).
#pragma once

#include <pybind11/pybind11.h>

#include <string>

#include "random/seed.hpp"

namespace zorvana {

// The seed of Engine(seed): an int in [-2^31, 2^31) is a 32-bit seed; an
// int of 2^31 or more, a sequence of ints in [0, 2^64) (not str or bytes),
// or a numpy.random.SeedSequence (its first four 64-bit words of
// generate_state) is a key; None draws a seed as entropy_seed does. TypeError for other types and for ints below
// -2^31, ValueError for an empty sequence or a word out of range.
Seed seed_from_python(const pybind11::handle& seed);

// A seed of 128 bits from the operating system's entropy (os.urandom), an
// integer seed: Engine(its value) repeats it.
Seed entropy_seed();

// The Python value of a seed: an int for small and integer seeds, a tuple of
// ints for words. Engine(value) seeds the same way.
pybind11::object seed_to_python(const Seed& seed);

// The repr of that value.
std::string seed_text(const Seed& seed);

}  // namespace zorvana
