// Tables in CSV as spreadsheets write and read them: the German ones with
// ';', others with ','; UTF-8 with or without a byte order mark, or
// Windows-1252 (what Excel writes as "CSV (Trennzeichen-getrennt)");
// quoted cells that hold separators, quotes and line breaks.
//
// Written here rather than taken from a library: Debian's C++ CSV reader
// (libfccp-dev) cuts the file into lines before it looks at quotes, fixes
// the number of columns at compile time, takes the separator as a template
// argument and needs <thread> (or a patch) with the 32-bit compiler, and
// throws English messages; libcsv is a C library under the LGPL with no
// build for mingw-w64. What a spreadsheet writes needs only a small state
// machine, and its errors can name the row and column in German.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

namespace zav {

enum class CsvEncoding { kUtf8, kUtf8WithBom, kWindows1252 };

// A place in a table as a spreadsheet shows it: row 1 is the first row (the
// header), column 1 is column A. A row is a spreadsheet row, so a quoted
// cell with a line break in it does not start a new one. 0 where the error
// has no row or no column.
struct CsvError {
    size_t row = 0;
    size_t column = 0;
    std::string message;  // German, Windows-1252
};

// "Zeile 4, Spalte 3: message", "Zeile 4: message" or the message alone.
std::string csv_error_text(const CsvError& error);

// A cell's text in both of the program's character sets: UTF-8 for files
// and JSON, Windows-1252 for the core (a character Windows-1252 lacks is
// '?' there).
struct CsvCell {
    std::string utf8;
    std::string cp1252;
};

struct CsvRow {
    size_t row;  // as the spreadsheet numbers it
    std::vector<CsvCell> cells;
    bool blank() const;  // no cell holds anything
};

struct CsvTable {
    CsvEncoding encoding = CsvEncoding::kUtf8;
    // The separator: the first ';' or ',' outside quotes in the first row
    // that holds something (empty lines before it are passed over); '\0'
    // when that row has none (a table of one column).
    char separator = '\0';
    std::vector<CsvRow> rows;  // every row, blank ones too
};

struct CsvReading {
    bool ok = false;
    CsvTable table;  // when ok
    CsvError error;  // when not
};

// The encoding is the byte order mark's, else UTF-8 when every byte
// sequence is UTF-8, else Windows-1252. Cells in quotes are taken as they
// stand; unquoted ones lose the blanks and tabs around them. A line ends in
// CR LF, LF or CR. A control character (other than tab and line ends), a
// byte Windows-1252 leaves undefined, a quote not closed or text after a
// closing quote is an error with its place; so are UTF-16 and a zipped
// workbook (.xlsx), which spreadsheets also offer.
CsvReading read_csv_table(std::string_view bytes);

// One cell for a CSV file: in quotes, with quotes doubled, when it holds the
// separator, a quote, a line break or blanks at either end; else as it is.
std::string csv_cell(std::string_view text, char separator);

}  // namespace zav
