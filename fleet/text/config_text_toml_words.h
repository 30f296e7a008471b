// What toml++ says is wrong with a text, in the program's own words. Its
// English never reaches the user: each error it reports is known by a
// phrase of its message and said again here. The phrases are toml++'s, not
// ours; config_text_test holds a text for each that makes toml++ say it, so
// that an update of toml++ that words one differently fails there instead
// of falling back, unnoticed, to the general message.
#pragma once

#include <string_view>
#include <vector>

namespace zav::config_text {

struct TomlWords {
    std::string_view phrase;  // part of toml++'s description
    const char* message;      // ours (Windows-1252)
    bool names_a_key;         // the description names the key, between the last two quotes
};

// In the order they are tried; the first phrase found decides.
const std::vector<TomlWords>& toml_words();

// Ours, for a description of toml++ that holds none of the phrases.
extern const char* const kTomlWordsOtherwise;

// The entry whose phrase toml++'s description holds; nullptr for none.
const TomlWords* toml_words_for(std::string_view description);

}  // namespace zav::config_text
