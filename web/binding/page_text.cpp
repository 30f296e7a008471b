#include "web/binding/page_text.h"

#include <cstdint>
#include <vector>

#include "fleet/base/text_encoding.h"

namespace zav::web {

using emscripten::val;

// embind hands a std::string to JavaScript as UTF-8.
val page_text(std::string_view cp1252) { return val(utf8_from_cp1252(cp1252)); }

std::string program_text(const std::string& utf8) { return cp1252_from_utf8(utf8); }

std::string bytes_from_page(const val& array) {
    const std::vector<uint8_t> bytes = emscripten::convertJSArrayToNumberVector<uint8_t>(array);
    return std::string(bytes.begin(), bytes.end());
}

val bytes_to_page(const void* data, size_t length) {
    // A copy, so that the page's array outlives the module's buffer.
    val view = val(emscripten::typed_memory_view(length, static_cast<const uint8_t*>(data)));
    return val::global("Uint8Array").new_(view);
}

}  // namespace zav::web
