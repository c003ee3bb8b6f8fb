// Documentation of every callable the module registers: the text signature
// that CPython reads for inspect.signature (for example
// "(x, mu=0, sigma=1, log=False)") and the docstring body that follows the
// generated signature. The table is written by tools/gen_docs.py.
#pragma once

namespace zorvana {

struct Doc {
    const char* text_signature;  // "(...)", or nullptr when there is none
    const char* body;            // prose, or nullptr when there is none
};

// The documentation of the callable registered under `name` ("dnorm",
// "rnorm", "Engine", ...); both fields null for an unknown name.
Doc doc_of(const char* name);

}  // namespace zorvana
