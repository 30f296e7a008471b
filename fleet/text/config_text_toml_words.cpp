#include "fleet/text/config_text_toml_words.h"

namespace zav::config_text {

namespace {

constexpr char kTwice[] = "steht doppelt";
constexpr char kNoKey[] = "hier wird ein Schlüssel, eine Überschrift wie [adressen] oder ein Kommentar erwartet";
constexpr char kAfterValue[] = "nach dem Wert darf in der Zeile nur noch ein Kommentar (#) folgen";
constexpr char kNoClosing[] = "hier fehlt ein Komma oder die schließende Klammer ]";

}  // namespace

// Invalid UTF-8 has no entry: import_text finds it before toml++ reads,
// as toml++ places it a character early.
const std::vector<TomlWords>& toml_words() {
    static const std::vector<TomlWords> words = {
        // A line end of '\r' alone, as old Macs wrote them; before
        // "EOF", which the message holds when the '\r' ends the text.
        {"after '\\r'", "ein Zeilenende ist \\n oder \\r\\n, nie \\r allein (den Text mit Zeilenenden nach Windows- "
                        "oder Unix-Art speichern)", false},
        {"end-of-file", "der Text bricht hier ab, mitten in einem Eintrag", false},
        {"cannot redefine", kTwice, true},
        {"cannot insert", kTwice, true},
        {"expected '='", "nach dem Schlüssel fehlt das Gleichheitszeichen '='", false},
        {"expected value,", "hier fehlt der Wert", false},
        {"expected keys, tables", kNoKey, false},
        {"blank bare keys", kNoKey, false},
        {"comment or whitespace", kAfterValue, false},
        {"value-terminator", kAfterValue, false},
        {"closing ']'", kNoClosing, false},
        {"expected ']'", kNoClosing, false},
        {"control character", "ein Text in Anführungszeichen endet in derselben Zeile und enthält keine Steuerzeichen",
         false},
        {"escape sequence", "unbekannte Folge nach \\ (erlaubt sind \\\" \\\\ \\t \\n \\uXXXX)", false},
        {"leading zero", "eine Zahl beginnt nicht mit 0", false},
    };
    return words;
}

const char* const kTomlWordsOtherwise = "hier ist der Text kein gültiges TOML";

const TomlWords* toml_words_for(std::string_view description) {
    for (const TomlWords& words : toml_words()) {
        if (description.find(words.phrase) != std::string_view::npos) return &words;
    }
    return nullptr;
}

}  // namespace zav::config_text
