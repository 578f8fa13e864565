// The Vietnamese text every benchmark types or converts (generated at build time, the same on
// every run), and the keys that type it.
#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace bench_text {

enum class Method { Telex, Vni };

// The whole text: sentences of Vietnamese words with capitals, punctuation and line breaks.
const std::string& text();

// The keys typing the text, one character per key; a line break stands for Enter.
const std::string& keys(Method method);

// The keys as a host names them: one character each, "Enter" for a line break.
const std::vector<std::string>& key_names(Method method);

// The text repeated up to at least `size` bytes, ending at a line break.
std::string text_of_size(std::size_t size);

std::string_view method_name(Method method);

// A session configuration typing in the method.
const char* config_json(Method method);

// Heap allocations (malloc, calloc, realloc, aligned allocations and operator new) made by
// the process so far.
long long allocations();

}  // namespace bench_text
