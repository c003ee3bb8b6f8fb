// Documentation of every callable: a text signature in Python syntax, such
// as "(x, mu=0, sigma=1, log=False)", and a body of prose. Either may be
// nullptr (no such part).
#pragma once

namespace zorvana {

struct Doc {
    const char* text_signature;
    const char* body;
};

Doc doc_of(const char* name);

}  // namespace zorvana
