#include "fleet/plan/csv_table.h"

#include <cstdint>
#include <cstdio>

#include "fleet/base/hex.h"
#include "fleet/base/text_encoding.h"

namespace zav {

namespace {

constexpr char kQuote = '"';

bool starts_with(std::string_view text, std::string_view head) { return text.substr(0, head.size()) == head; }

bool is_blank(char c) { return c == ' ' || c == '\t'; }

// The first ';' or ',' outside quotes before the first row that holds
// something ends: some spreadsheets save an empty line first.
char first_row_separator(std::string_view text) {
    bool quoted = false;
    bool row_holds_something = false;
    for (const char c : text) {
        if (c == kQuote) quoted = !quoted;
        if (quoted) continue;
        if (c == ';' || c == ',') return c;
        if (c == '\r' || c == '\n') {
            if (row_holds_something) break;
        } else if (!is_blank(c)) {
            row_holds_something = true;
        }
    }
    return '\0';
}

class TableReader {
public:
    TableReader(std::string_view text, CsvEncoding encoding, char separator)
        : text_(text), encoding_(encoding), separator_(separator) {}

    bool read(CsvTable& table, CsvError& error) {
        table.encoding = encoding_;
        table.separator = separator_;
        for (size_t i = 0; i < text_.size(); ++i) {
            const char c = text_[i];
            if (in_quotes_) {
                if (c != kQuote) {
                    cell_ += c;
                } else if (i + 1 < text_.size() && text_[i + 1] == kQuote) {
                    cell_ += kQuote;
                    ++i;
                } else {
                    in_quotes_ = false;
                    after_quotes_ = true;
                }
            } else if (separator_ != '\0' && c == separator_) {
                if (!end_cell(error)) return false;
            } else if (c == '\r' || c == '\n') {
                if (c == '\r' && i + 1 < text_.size() && text_[i + 1] == '\n') ++i;
                if (!end_cell(error)) return false;
                end_row(table);
            } else if (after_quotes_) {
                if (!is_blank(c)) return fail(error, "nach dem schließenden Anführungszeichen steht noch Text");
            } else if (c == kQuote && !quoted_ && only_blanks(cell_)) {
                cell_.clear();
                in_quotes_ = quoted_ = true;
            } else {
                cell_ += c;
            }
        }
        if (in_quotes_) return fail(error, "das Anführungszeichen wird nicht geschlossen");
        // A last row without a line end.
        if (quoted_ || !cell_.empty() || !cells_.empty()) {
            if (!end_cell(error)) return false;
            end_row(table);
        }
        return true;
    }

private:
    static bool only_blanks(const std::string& text) {
        for (const char c : text) {
            if (!is_blank(c)) return false;
        }
        return true;
    }

    static std::string trimmed(const std::string& text) {
        size_t begin = 0, end = text.size();
        while (begin < end && is_blank(text[begin])) ++begin;
        while (end > begin && is_blank(text[end - 1])) --end;
        return text.substr(begin, end - begin);
    }

    bool fail(CsvError& error, std::string message) const {
        error = {row_, cells_.size() + 1, std::move(message)};
        return false;
    }

    // Checks the cell's bytes in the file's encoding and stores it in both.
    bool end_cell(CsvError& error) {
        const std::string text = quoted_ ? cell_ : trimmed(cell_);
        for (size_t i = 0; i < text.size(); ++i) {
            const uint8_t byte = static_cast<uint8_t>(text[i]);
            const bool line_break_in_quotes = quoted_ && (byte == '\r' || byte == '\n');
            if ((byte < 0x20 && byte != '\t' && !line_break_in_quotes) || byte == 0x7F) {
                return fail(error, "Steuerzeichen " + hex_byte(byte) + " (ist das eine CSV-Datei?)");
            }
            if (encoding_ == CsvEncoding::kWindows1252 &&
                (byte == 0x81 || byte == 0x8D || byte == 0x8F || byte == 0x90 || byte == 0x9D)) {
                return fail(error, "das Zeichen " + hex_byte(byte) +
                                       " gibt es weder in UTF-8 noch in Windows-1252 (ist die Datei so gespeichert?)");
            }
        }
        if (encoding_ == CsvEncoding::kWindows1252) {
            cells_.push_back({utf8_from_cp1252(text), text});
        } else if (is_valid_utf8(text)) {
            cells_.push_back({text, cp1252_from_utf8(text)});
        } else {
            return fail(error, "kein gültiges UTF-8, obwohl die Datei mit der UTF-8-Kennung (BOM) beginnt");
        }
        cell_.clear();
        quoted_ = after_quotes_ = false;
        return true;
    }

    void end_row(CsvTable& table) {
        table.rows.push_back({row_, std::move(cells_)});
        cells_.clear();
        ++row_;
    }

    std::string_view text_;
    CsvEncoding encoding_;
    char separator_;
    size_t row_ = 1;
    std::vector<CsvCell> cells_;
    std::string cell_;
    bool quoted_ = false;        // the cell began with a quote
    bool in_quotes_ = false;     // between its quotes
    bool after_quotes_ = false;  // past its closing quote
};

}  // namespace

std::string csv_error_text(const CsvError& error) {
    std::string place;
    if (error.row > 0) place = "Zeile " + std::to_string(error.row);
    if (error.row > 0 && error.column > 0) place += ", Spalte " + std::to_string(error.column);
    return place.empty() ? error.message : place + ": " + error.message;
}

bool CsvRow::blank() const {
    for (const CsvCell& cell : cells) {
        if (!cell.utf8.empty()) return false;
    }
    return true;
}

CsvReading read_csv_table(std::string_view bytes) {
    CsvReading reading;
    if (starts_with(bytes, "\xFF\xFE") || starts_with(bytes, "\xFE\xFF")) {
        reading.error.message = "Die Datei ist in UTF-16 gespeichert; bitte als \"CSV UTF-8\" speichern.";
        return reading;
    }
    if (starts_with(bytes, "PK\x03\x04")) {
        reading.error.message = "Die Datei ist eine Arbeitsmappe (.xlsx), keine CSV-Datei; bitte als \"CSV UTF-8\" "
                                "speichern.";
        return reading;
    }
    CsvEncoding encoding = CsvEncoding::kWindows1252;
    if (starts_with(bytes, "\xEF\xBB\xBF")) {
        bytes.remove_prefix(3);
        encoding = CsvEncoding::kUtf8WithBom;
    } else if (is_valid_utf8(bytes)) {
        encoding = CsvEncoding::kUtf8;
    }
    TableReader reader(bytes, encoding, first_row_separator(bytes));
    reading.ok = reader.read(reading.table, reading.error);
    return reading;
}

std::string csv_cell(std::string_view text, char separator) {
    const bool needs_quotes = text.find_first_of(std::string{separator, kQuote, '\r', '\n'}) != std::string::npos ||
                              (!text.empty() && (is_blank(text.front()) || is_blank(text.back())));
    if (!needs_quotes) return std::string(text);
    std::string cell(1, kQuote);
    for (const char c : text) {
        cell += c;
        if (c == kQuote) cell += kQuote;
    }
    return cell + kQuote;
}

}  // namespace zav
