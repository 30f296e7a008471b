#include "fleet/plan/plan_reader.h"

#include <cctype>

#include "fleet/text/config_text_fields.h"

namespace zav {

namespace {

using config_text::FieldKind;
using config_text::FieldRef;

bool same_ignoring_case(const std::string& text, const char* word) {
    size_t i = 0;
    for (; i < text.size() && word[i] != '\0'; ++i) {
        if (std::tolower(static_cast<unsigned char>(text[i])) != word[i]) return false;
    }
    return i == text.size() && word[i] == '\0';
}

std::string in_quotes(const std::string& text) { return "\"" + text + "\""; }

std::string lower_case(std::string text) {
    for (char& c : text) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return text;
}

// The record's fields a plan can set, each as its path with "N" for the
// number that counts ("alarm.N.codierung"): made from the paths
// themselves, so that the list cannot miss one.
std::string field_columns() {
    std::string text;
    for (const FieldKind kind : {FieldKind::kDeadTime, FieldKind::kAlarmPause, FieldKind::kAlarmMemory,
                                 FieldKind::kCoding, FieldKind::kCount, FieldKind::kNumber, FieldKind::kManual,
                                 FieldKind::kRelayFiveTone, FieldKind::kRelayDoubleTone, FieldKind::kOnTime}) {
        std::string path = config_text::field_path({kind, 0});
        if (path != config_text::field_path({kind, 1})) {
            const size_t one = path.find(".1");
            path.replace(one + 1, 1, "N");
        }
        text += ", " + path;
    }
    return text;
}

std::string known_columns() {
    return std::string("bekannt sind ") + kPlanLabelColumn + ", " + kPlanInventoryColumn + ", " + kPlanRemarkColumn +
           field_columns() + " (N ab 1)";
}

// Whether a column names a field that the fullest fitting has: a field the
// plan can set on the record.
bool is_field_column(const std::string& name) {
    const std::optional<FieldRef> field = config_text::field_of_path(name);
    if (!field || field->kind == FieldKind::kAlarmTonePair) return false;
    const config_text::FittingLists fullest = config_text::fitting_lists(kFullFitting);
    const size_t index = static_cast<size_t>(field->index);
    switch (field->kind) {
        case FieldKind::kCoding: return index < fullest.alarms.size();
        case FieldKind::kNumber: return field->index < fullest.max_five_tone_count;
        case FieldKind::kRelayFiveTone:
        case FieldKind::kRelayDoubleTone:
        case FieldKind::kOnTime: return field->index < fullest.relays;
        default: return true;
    }
}

bool is_kept_column(const std::string& name) {
    return same_ignoring_case(name, kPlanInventoryColumn) || same_ignoring_case(name, kPlanRemarkColumn);
}

bool read_header(const CsvRow& header, Plan& plan, CsvError& error) {
    const std::vector<CsvCell>& cells = header.cells;
    if (!same_ignoring_case(cells[0].utf8, kPlanLabelColumn)) {
        error = {header.row, 1,
                 std::string("die erste Spalte muss ") + in_quotes(kPlanLabelColumn) + " heißen, nicht " +
                     in_quotes(cells[0].cp1252)};
        return false;
    }
    for (size_t c = 1; c < cells.size(); ++c) {
        const size_t column = c + 1;
        if (cells[c].utf8.empty()) {
            error = {header.row, column, "die Spalte hat keinen Namen (einen Schlüssel wie adressen.nummern.1)"};
            return false;
        }
        if (!is_kept_column(cells[c].utf8) && !is_field_column(cells[c].utf8)) {
            error = {header.row, column, "unbekannte Spalte " + in_quotes(cells[c].cp1252) + " (" + known_columns() + ")"};
            return false;
        }
        for (size_t earlier = 0; earlier < plan.keys.size(); ++earlier) {
            if (lower_case(plan.keys[earlier]) == lower_case(cells[c].utf8)) {
                error = {header.row, column,
                         in_quotes(cells[c].cp1252) + " steht schon in Spalte " + std::to_string(earlier + 2)};
                return false;
            }
        }
        plan.keys.push_back(cells[c].utf8);
    }
    return true;
}

bool read_device_row(const CsvRow& source, const Plan& plan, PlanRow& row, CsvError& error) {
    const std::vector<CsvCell>& cells = source.cells;
    if (cells[0].utf8.empty()) {
        error = {source.row, 1, "die Bezeichnung fehlt"};
        return false;
    }
    row.row = source.row;
    row.label_utf8 = cells[0].utf8;
    row.label_cp1252 = cells[0].cp1252;
    for (size_t c = 1; c < cells.size(); ++c) {
        if (cells[c].utf8.empty()) continue;
        if (c > plan.keys.size()) {
            error = {source.row, c + 1,
                     "die Kopfzeile hat nur " + std::to_string(plan.keys.size() + 1) + " Spalten"};
            return false;
        }
        const std::string& key = plan.keys[c - 1];
        if (same_ignoring_case(key, kPlanInventoryColumn)) {
            row.inventory_number = cells[c].utf8;
        } else if (same_ignoring_case(key, kPlanRemarkColumn)) {
            row.remark = cells[c].utf8;
        } else {
            row.values.push_back({key, c + 1, cells[c].utf8, cells[c].cp1252});
        }
    }
    return true;
}

}  // namespace

PlanReading parse_plan(std::string_view bytes) {
    PlanReading reading;
    CsvReading table = read_csv_table(bytes);
    if (!table.ok) {
        reading.error = table.error;
        return reading;
    }
    Plan& plan = reading.plan;
    plan.encoding = table.table.encoding;
    plan.separator = table.table.separator;

    bool header_read = false;
    for (const CsvRow& source : table.table.rows) {
        if (source.blank()) continue;
        if (!header_read) {
            if (!read_header(source, plan, reading.error)) return reading;
            header_read = true;
            continue;
        }
        PlanRow row;
        row.device = plan.rows.size() + 1;
        if (!read_device_row(source, plan, row, reading.error)) return reading;
        plan.rows.push_back(std::move(row));
    }
    if (!header_read) {
        reading.error = {0, 0, std::string("Der Plan ist leer: erwartet wird eine Kopfzeile mit ") +
                                   in_quotes(kPlanLabelColumn) + " und den Schlüsseln, dann eine Zeile je Gerät."};
        return reading;
    }
    if (plan.rows.empty()) {
        reading.error = {0, 0, "Der Plan nennt kein Gerät: nach der Kopfzeile folgt keine Zeile."};
        return reading;
    }
    reading.ok = true;
    return reading;
}

}  // namespace zav
