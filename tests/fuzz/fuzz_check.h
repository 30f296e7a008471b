// What every fuzz target shares: a check that stops the run with a message
// (libFuzzer then saves the input), and buffers that end exactly where the
// code under test must stop, so that AddressSanitizer sees the first byte
// beyond them.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#define FUZZ_CHECK(condition)                                                              \
    do {                                                                                   \
        if (!(condition)) {                                                                \
            std::fprintf(stderr, "%s:%d: check failed: %s\n", __FILE__, __LINE__, #condition); \
            std::abort();                                                                  \
        }                                                                                  \
    } while (0)

namespace zav_fuzz {

// A heap object of exactly sizeof(T) bytes, filled with a pattern so that
// reads of bytes nobody wrote are not hidden by zeros.
template <typename T>
struct Exact {
    T* p;
    explicit Exact(uint8_t fill = 0) : p(static_cast<T*>(std::malloc(sizeof(T)))) { std::memset(p, fill, sizeof(T)); }
    ~Exact() { std::free(p); }
    Exact(const Exact&) = delete;
    Exact& operator=(const Exact&) = delete;
    T& operator*() const { return *p; }
    T* operator->() const { return p; }
};

// Reads the fuzzer's bytes front to back; past the end it yields zeros.
struct Input {
    const uint8_t* data;
    size_t size;
    size_t pos = 0;

    bool empty() const { return pos >= size; }
    uint8_t byte() { return pos < size ? data[pos++] : 0; }
    size_t take(uint8_t* out, size_t n) {
        size_t i = 0;
        for (; i < n && pos < size; ++i) out[i] = data[pos++];
        return i;
    }
};

// True when text is terminated within its array.
inline bool terminated(const char* text, size_t bytes) { return std::memchr(text, '\0', bytes) != nullptr; }

}  // namespace zav_fuzz
