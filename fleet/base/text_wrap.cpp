#include "fleet/base/text_wrap.h"

#include <vector>

namespace zav {

namespace {

// The words of text: runs between blanks, where a blank inside double
// quotes belongs to its word.
std::vector<std::string> words_of(const std::string& text) {
    std::vector<std::string> words;
    std::string word;
    bool quoted = false;
    for (const char c : text) {
        if (c == '"') quoted = !quoted;
        if (c == ' ' && !quoted) {
            if (!word.empty()) words.push_back(word);
            word.clear();
        } else {
            word += c;
        }
    }
    if (!word.empty()) words.push_back(word);
    return words;
}

}  // namespace

std::string wrapped(const std::string& text, const std::string& indent, size_t width) {
    if (text.size() <= width) return text;
    // The first line keeps its leading blanks (an indent of its own).
    const size_t lead = text.find_first_not_of(' ');
    if (lead == std::string::npos) return text;
    std::string out = text.substr(0, lead);
    size_t line_length = lead;
    bool line_empty = true;
    for (const std::string& word : words_of(text.substr(lead))) {
        if (!line_empty && line_length + 1 + word.size() > width) {
            out += "\n" + indent;
            line_length = indent.size();
            line_empty = true;
        }
        if (!line_empty) {
            out += ' ';
            ++line_length;
        }
        out += word;
        line_length += word.size();
        line_empty = false;
    }
    return out;
}

}  // namespace zav
