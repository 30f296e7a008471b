// What the fleet's fuzz targets share: an independent reading of the
// inventory (the CSV file "zavctl report --csv" writes), and the test of a
// cell a spreadsheet would compute.
#pragma once

#include <string>
#include <vector>

#include "fleet/sheet/handover_sheet.h"
#include "fuzz_check.h"

namespace zav_fuzz {

// The inventory's rows and cells as a spreadsheet reads it: a byte order
// mark, ';' between cells, CR LF after each row, a cell in quotes with its
// quotes doubled. Any other shape stops the run.
inline std::vector<std::vector<std::string>> inventory_cells(const std::string& csv) {
    FUZZ_CHECK(csv.compare(0, 3, "\xEF\xBB\xBF") == 0);
    std::vector<std::vector<std::string>> rows(1);
    std::string cell;
    size_t i = 3;
    while (i < csv.size()) {
        if (csv[i] == '"' && cell.empty()) {
            for (++i;; ++i) {
                FUZZ_CHECK(i < csv.size());
                if (csv[i] != '"') {
                    cell += csv[i];
                } else if (i + 1 < csv.size() && csv[i + 1] == '"') {
                    cell += '"';
                    ++i;
                } else {
                    break;
                }
            }
            ++i;
            FUZZ_CHECK(i < csv.size() && (csv[i] == ';' || csv[i] == '\r'));
            continue;
        }
        if (csv[i] == ';') {
            rows.back().push_back(cell);
            cell.clear();
            ++i;
        } else if (csv[i] == '\r') {
            FUZZ_CHECK(i + 1 < csv.size() && csv[i + 1] == '\n');
            rows.back().push_back(cell);
            cell.clear();
            rows.emplace_back();
            i += 2;
        } else {
            // An unquoted cell holds no quote and no line end.
            FUZZ_CHECK(csv[i] != '"' && csv[i] != '\n');
            cell += csv[i++];
        }
    }
    FUZZ_CHECK(cell.empty() && rows.back().empty());
    rows.pop_back();
    return rows;
}

// What a spreadsheet takes for a formula: =, +, - or @ first, or a tab or
// CR before it, which some spreadsheets drop.
inline bool starts_a_formula(const std::string& cell) {
    return !cell.empty() && std::string("=+-@\t\r").find(cell[0]) != std::string::npos;
}

// Whether an inventory cell holds text and nothing else: as it is, or after
// the mark that keeps it as text.
inline bool holds(const std::string& cell, const std::string& text) {
    return cell == text || cell == zav::kKeepAsText + text;
}

// Every cell of every row of the inventory: the header's number of cells,
// none that a spreadsheet would compute.
inline std::vector<std::vector<std::string>> checked_inventory(const std::string& csv) {
    const std::vector<std::vector<std::string>> rows = inventory_cells(csv);
    FUZZ_CHECK(!rows.empty());
    for (const std::vector<std::string>& row : rows) {
        FUZZ_CHECK(row.size() == rows[0].size());
        for (size_t c = 0; c < row.size(); ++c) {
            if (starts_a_formula(row[c])) std::fprintf(stderr, "unguarded cell in column %s\n", rows[0][c].c_str());
            FUZZ_CHECK(!starts_a_formula(row[c]));
        }
    }
    return rows;
}

}  // namespace zav_fuzz
