// A plan as a technician's spreadsheet saves it (parse_plan): CSV in UTF-8
// with or without a byte order mark or in Windows-1252, ';' or ',', cells
// in quotes, CR, LF and CR LF mixed.
//
// The input is either the file's bytes, or (first byte 0) a table that the
// target writes as a spreadsheet would, in the style the following bytes
// choose (separator, encoding, quotes, line ends, blank rows, a last line
// end or none).
//
// Properties:
//  - a refused plan names a row of the file (from 1, with its column), or
//    none when the file holds no device row to name (empty, only a header,
//    UTF-16, a workbook);
//  - an accepted plan numbers its devices 1, 2, ... in rows that go up;
//  - a written table reads back exactly: every key, label, inventory
//    number, remark and value as the spreadsheet held it, each device at
//    its spreadsheet row;
//  - the plan's cells reach the audit log and from it the inventory whole,
//    and no cell of the inventory starts a formula.
#include <nlohmann/json.hpp>

#include <string>
#include <string_view>
#include <vector>

#include "fleet/base/text_encoding.h"
#include "fleet/log/audit_line.h"
#include "fleet/log/audit_log_reader.h"
#include "fleet/plan/csv_table.h"
#include "fleet/plan/plan_reader.h"
#include "fleet/sheet/handover_sheet.h"
#include "fleet/text/config_text_fields.h"
#include "fleet_fuzz.h"
#include "fuzz_check.h"

using namespace zav;
using zav_fuzz::Input;

namespace {

bool same_ignoring_case(const std::string& a, const std::string& b) {
    if (a.size() != b.size()) return false;
    for (size_t i = 0; i < a.size(); ++i) {
        if (std::tolower(static_cast<unsigned char>(a[i])) != std::tolower(static_cast<unsigned char>(b[i]))) return false;
    }
    return true;
}

// ---- A table written as a spreadsheet writes it -----------------------------

const char* const kColumns[] = {"inventarnummer",     "Bemerkung",           "totzeit",
                                "alarmpause",         "alarmspeicher",       "adressen.anzahl",
                                "adressen.nummern.1", "adressen.nummern.10", "adressen.hand",
                                "alarm.1.codierung",  "alarm.5.codierung",   "zusatzrelais.1.fuenf_ton",
                                "zusatzrelais.4.doppel_ton", "zusatzrelais.2.ein_zeit", "INVENTARNUMMER"};
const char* const kLabelHeads[] = {"bezeichnung", "Bezeichnung", "BEZEICHNUNG"};
// What cells are made of: separators, quotes, line ends, blanks, what starts
// a formula, umlauts and the euro sign (in Windows-1252 and UTF-8 alike).
const char* const kAlphabet[] = {"a", "b", "Z", "0", "1", "9", " ", "\t", ";", ",", "\"", "\n", "\r", "=", "+",
                                 "-", "@", "'", "<", ".", "\xC3\xA4", "\xC3\xB6", "\xC3\x9F", "\xC3\x84",
                                 "\xE2\x82\xAC", "\xC3\xA9"};

struct WrittenTable {
    std::string bytes;
    std::vector<std::string> header;           // UTF-8, as written
    std::vector<std::vector<std::string>> rows;  // the device rows' cells, UTF-8
    std::vector<size_t> row_numbers;           // each device row's spreadsheet row
    bool cp1252 = false;
};

std::string cell_text(Input& in) {
    std::string text;
    const size_t length = in.byte() % 10;
    for (size_t i = 0; i < length; ++i) text += kAlphabet[in.byte() % (sizeof kAlphabet / sizeof *kAlphabet)];
    return text;
}

WrittenTable write_table(Input& in) {
    WrittenTable table;
    const uint8_t style = in.byte();
    const char separator = style & 1 ? ',' : ';';
    const int encoding = (style >> 1) % 3;  // UTF-8, with BOM, Windows-1252
    const int quoting = (style >> 3) % 3;   // where needed, always, always with blanks around
    const bool last_line_end = style & 0x20;
    table.cp1252 = encoding == 2;

    table.header.push_back(kLabelHeads[in.byte() % 3]);
    const size_t columns = in.byte() % 6;
    for (size_t c = 0; c < columns; ++c) {
        const std::string name = kColumns[in.byte() % (sizeof kColumns / sizeof *kColumns)];
        bool twice = false;
        for (const std::string& taken : table.header) twice = twice || same_ignoring_case(taken, name);
        if (!twice) table.header.push_back(name);
    }
    const size_t devices = 1 + in.byte() % 6;
    for (size_t d = 0; d < devices; ++d) {
        std::vector<std::string> cells;
        for (size_t c = 0; c < table.header.size(); ++c) cells.push_back(cell_text(in));
        if (cells[0].empty()) cells[0] = "LF";
        table.rows.push_back(cells);
    }

    std::string text;
    std::string previous_end;
    size_t row = 0;
    auto write_row = [&](const std::vector<std::string>& cells) {
        std::string line;
        for (size_t c = 0; c < cells.size(); ++c) {
            if (c) line += separator;
            if (quoting == 0) {
                line += csv_cell(cells[c], separator);
            } else {
                std::string quoted = "\"";
                for (const char ch : cells[c]) quoted += ch == '"' ? std::string("\"\"") : std::string(1, ch);
                quoted += "\"";
                line += quoting == 2 ? " " + quoted + " " : quoted;
            }
        }
        // A lone CR before an empty line would make one CR LF of the two.
        if (previous_end == "\r" && line.empty()) text += "\n";
        static const char* const kEnds[] = {"\n", "\r\n", "\r"};
        previous_end = kEnds[in.byte() % 3];
        text += line + previous_end;
        ++row;
    };
    auto blank_rows = [&]() {
        const uint8_t blanks = in.byte() % 4 == 0 ? in.byte() % 3 : 0;
        for (uint8_t b = 0; b < blanks; ++b) {
            std::string line(table.header.size() - 1, separator);
            if (previous_end == "\r" && line.empty()) text += "\n";
            previous_end = "\r\n";
            text += line + previous_end;
            ++row;
        }
    };
    blank_rows();
    write_row(table.header);
    for (const std::vector<std::string>& cells : table.rows) {
        blank_rows();
        write_row(cells);
        table.row_numbers.push_back(row);
    }
    if (!last_line_end) text.resize(text.size() - previous_end.size());

    if (table.cp1252) {
        table.bytes = cp1252_from_utf8(text);
    } else {
        table.bytes = (encoding == 1 ? "\xEF\xBB\xBF" : "") + text;
    }
    return table;
}

// What the reader must make of a written cell: in a Windows-1252 file that
// happens to be valid UTF-8 as a whole, the bytes count as UTF-8.
std::string expected_cell(const WrittenTable& table, const std::string& utf8) {
    if (table.cp1252 && is_valid_utf8(table.bytes)) return cp1252_from_utf8(utf8);
    return utf8;
}

void check_written_table(const WrittenTable& table, const PlanReading& reading) {
    if (!reading.ok) std::fprintf(stderr, "refused: %s\n", csv_error_text(reading.error).c_str());
    FUZZ_CHECK(reading.ok);
    const Plan& plan = reading.plan;
    FUZZ_CHECK(plan.keys.size() + 1 == table.header.size());
    for (size_t k = 0; k < plan.keys.size(); ++k) FUZZ_CHECK(plan.keys[k] == table.header[k + 1]);
    FUZZ_CHECK(plan.rows.size() == table.rows.size());
    for (size_t d = 0; d < plan.rows.size(); ++d) {
        const PlanRow& row = plan.rows[d];
        const std::vector<std::string>& cells = table.rows[d];
        FUZZ_CHECK(row.row == table.row_numbers[d]);
        FUZZ_CHECK(row.label_utf8 == expected_cell(table, cells[0]));
        FUZZ_CHECK(row.label_cp1252 == cp1252_from_utf8(row.label_utf8));
        std::string inventory, remark;
        size_t value = 0;
        for (size_t c = 1; c < cells.size(); ++c) {
            const std::string cell = expected_cell(table, cells[c]);
            if (same_ignoring_case(table.header[c], kPlanInventoryColumn)) {
                inventory = cell;
            } else if (same_ignoring_case(table.header[c], kPlanRemarkColumn)) {
                remark = cell;
            } else if (!cell.empty()) {
                FUZZ_CHECK(value < row.values.size());
                FUZZ_CHECK(row.values[value].key == table.header[c]);
                FUZZ_CHECK(row.values[value].column == c + 1);
                FUZZ_CHECK(row.values[value].utf8 == cell);
                FUZZ_CHECK(row.values[value].cp1252 == cp1252_from_utf8(cell));
                ++value;
            }
        }
        FUZZ_CHECK(value == row.values.size());
        FUZZ_CHECK(row.inventory_number == inventory);
        FUZZ_CHECK(row.remark == remark);
    }
}

// ---- Any plan ---------------------------------------------------------------

size_t line_ends(std::string_view bytes) {
    size_t count = 0;
    for (size_t i = 0; i < bytes.size(); ++i) {
        if (bytes[i] == '\n' || (bytes[i] == '\r' && (i + 1 >= bytes.size() || bytes[i + 1] != '\n'))) ++count;
    }
    return count;
}

void check_refusal(std::string_view bytes, const CsvError& error) {
    FUZZ_CHECK(!error.message.empty());
    if (error.row == 0) {
        // Only a file without a device row to name, or no table at all.
        FUZZ_CHECK(error.column == 0);
        const bool not_a_table = bytes.substr(0, 2) == "\xFF\xFE" || bytes.substr(0, 2) == "\xFE\xFF" ||
                                 bytes.substr(0, 4) == std::string_view("PK\x03\x04", 4);
        if (!not_a_table) {
            const CsvReading table = read_csv_table(bytes);
            FUZZ_CHECK(table.ok);
            size_t filled = 0;
            for (const CsvRow& row : table.table.rows) filled += row.blank() ? 0 : 1;
            FUZZ_CHECK(filled <= 1);
        }
        return;
    }
    FUZZ_CHECK(error.row <= line_ends(bytes) + 1);
    FUZZ_CHECK(error.column >= 1);
}

// The plan's rows into the audit log (a device that failed, as the least a
// line says), read back, and into the inventory.
void check_inventory(const Plan& plan) {
    std::string log;
    for (const PlanRow& row : plan.rows) {
        AuditLine line;
        line.time = "2026-12-08T09:15:02+01:00";
        line.command = "program";
        line.device_number = static_cast<int>(row.device);
        line.outcome = DeviceOutcome::kFailed;
        line.exit_code = 4;
        take_plan_row(line, row);
        log += audit_line_json(line).dump(-1, ' ', false, nlohmann::ordered_json::error_handler_t::replace) + "\n";
    }
    const AuditLogReading reading = read_audit_log(log);
    FUZZ_CHECK(reading.ok && reading.entries.size() == plan.rows.size() && reading.skipped.empty());
    std::vector<SheetDevice> devices;
    for (const AuditEntry& entry : reading.entries) devices.push_back(sheet_device_of(entry, "fuzz.jsonl"));

    const auto rows = zav_fuzz::checked_inventory(inventory_csv(devices));
    FUZZ_CHECK(rows.size() == plan.rows.size() + 1);
    const std::vector<std::string>& head = rows[0];
    for (size_t d = 0; d < plan.rows.size(); ++d) {
        const PlanRow& row = plan.rows[d];
        const std::vector<std::string>& cells = rows[d + 1];
        using zav_fuzz::holds;
        FUZZ_CHECK(holds(cells[0], row.label_utf8));
        FUZZ_CHECK(holds(cells[1], row.inventory_number));
        FUZZ_CHECK(holds(cells[2], row.remark));
        for (const PlanValue& value : row.values) {
            // A 5-tone number stands in the device's own columns, not as a
            // plan column; a device that failed has none to show.
            const auto field = config_text::field_of_path(value.key);
            if (field && field->kind == config_text::FieldKind::kNumber) continue;
            size_t column = 0;
            while (column < head.size() && !holds(head[column], value.key)) ++column;
            FUZZ_CHECK(column < head.size());
            FUZZ_CHECK(holds(cells[column], value.utf8));
        }
    }
}

void check_plan(std::string_view bytes, const PlanReading& reading) {
    if (!reading.ok) {
        check_refusal(bytes, reading.error);
        return;
    }
    const Plan& plan = reading.plan;
    FUZZ_CHECK(!plan.rows.empty());
    for (size_t d = 0; d < plan.rows.size(); ++d) {
        FUZZ_CHECK(plan.rows[d].device == d + 1);
        FUZZ_CHECK(plan.rows[d].row >= 2 && (d == 0 || plan.rows[d].row > plan.rows[d - 1].row));
        FUZZ_CHECK(!plan.rows[d].label_utf8.empty() && is_valid_utf8(plan.rows[d].label_utf8));
    }
    check_inventory(plan);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size > 0 && data[0] == 0) {
        Input in{data + 1, size - 1};
        const WrittenTable table = write_table(in);
        const PlanReading reading = parse_plan(table.bytes);
        check_written_table(table, reading);
        check_plan(table.bytes, reading);
        return 0;
    }
    // A buffer that ends where the file does.
    char* file = static_cast<char*>(std::malloc(size ? size : 1));
    std::memcpy(file, data, size);
    const std::string_view bytes(file, size);
    check_plan(bytes, parse_plan(bytes));
    std::free(file);
    return 0;
}
