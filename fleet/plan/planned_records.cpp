#include "fleet/plan/planned_records.h"

#include <cstring>

#include "core/config/config_form.h"
#include "fleet/base/text_encoding.h"
#include "fleet/record/fitting_report.h"
#include "fleet/record/record_view.h"

namespace zav {

namespace {

std::vector<std::pair<std::string, std::string>> values_of(const PlanRow& row) {
    std::vector<std::pair<std::string, std::string>> values;
    for (const PlanValue& value : row.values) values.emplace_back(value.key, value.utf8);
    return values;
}

// The column of the key a refusal names; 0 when no column names it (a
// field the template holds, which a row's value made wrong).
size_t column_of(const PlanRow& row, const std::string& key) {
    for (const PlanValue& value : row.values) {
        if (cp1252_from_utf8(value.key) == key) return value.column;
    }
    return 0;
}

}  // namespace

Outcome PlannedRecords::row_refused(const PlanRow& row, const TextError& error, const std::string& why) const {
    const size_t column = column_of(row, error.key);
    std::string place = "Plan " + plan_name_ + ", Zeile " + std::to_string(row.row);
    if (column > 0) place += ", Spalte " + std::to_string(column);
    return failure(error.field_check ? kExitRefused : kExitFile, place + ": " + text_error_line(error),
                   "Gerät " + std::to_string(row.device) + " (" + row.label_cp1252 + "). " + why);
}

Outcome PlannedRecords::check_rows() const {
    if (plan_ == nullptr) return success();
    for (const PlanRow& row : plan_->rows) {
        if (const std::optional<TextError> refused = check_fields_for_any_fitting(values_of(row))) {
            return row_refused(row, *refused, "Die Serie beginnt nicht; kein Gerät wurde angesprochen.");
        }
    }
    return success();
}

std::vector<std::string> PlannedRecords::warnings() const {
    std::vector<std::string> lines = source_.warnings;
    if (plan_ == nullptr) return lines;
    for (const PlanRow& row : plan_->rows) {
        for (const TextError& warning : field_warnings(values_of(row))) {
            lines.push_back("Plan " + plan_name_ + ", Zeile " + std::to_string(row.row) + ", Spalte " +
                            std::to_string(column_of(row, warning.key)) + ": " + text_error_line(warning));
        }
    }
    return lines;
}

Outcome PlannedRecords::row_record(const PlanRow* row, SetupFitting fitting, const ConfigRecord& base,
                                   ConfigRecord& record) const {
    ConfigRecord given = base;
    if (row != nullptr) {
        if (const std::optional<TextError> refused = set_fields(given, fitting, values_of(*row))) {
            return row_refused(*row, *refused, "");
        }
    }
    const int field_error = record_as_window_takes_it(given.data(), fitting.setup_byte1, fitting.setup_byte2,
                                                      record.data());
    if (field_error != 0) {
        const std::string whose = row == nullptr ? std::string("die Datei")
                                                 : "Zeile " + std::to_string(row->row) + " des Plans";
        return failure(kExitRefused, config_error_text(field_error),
                       "Die Feldprüfung nimmt " + whose + " für diesen Typ nicht an.");
    }
    return success();
}

Outcome PlannedRecords::take_type(const uint8_t* setup) {
    const SetupFitting fitting{setup[0], setup[1]};
    ConfigImage image;
    set_image_start_values(image);
    const Outcome loaded = configuration_for_fitting(source_, fitting, image);
    if (!loaded.ok()) return loaded;
    ConfigRecord base;
    std::memcpy(base.data(), image.bytes, kRecordBytes);

    const std::string type = "Setup " + setup_hex(setup) + " (V" + version_text(setup) + ")";
    records_.clear();
    const size_t count = plan_ == nullptr ? 1 : plan_->rows.size();
    for (size_t i = 0; i < count; ++i) {
        const PlanRow* row = plan_ == nullptr ? nullptr : &plan_->rows[i];
        ConfigRecord record;
        Outcome made = row_record(row, fitting, base, record);
        if (!made.ok()) {
            made.detail += (made.detail.empty() || made.detail.back() == ' ' ? "" : " ") + std::string("Typ: ") +
                           type + "; die Serie endet, bevor ein Gerät beschrieben wird.";
            records_.clear();
            return made;
        }
        records_.push_back(record);
    }
    return success();
}

const uint8_t* PlannedRecords::record_for(const PlanRow* row) const {
    const size_t index = row == nullptr ? 0 : row->device - 1;
    return index < records_.size() ? records_[index].data() : nullptr;
}

bool PlannedRecords::record_for_fitting(const PlanRow* row, SetupFitting fitting, ConfigRecord& record) const {
    ConfigImage image;
    set_image_start_values(image);
    if (!configuration_for_fitting(source_, fitting, image).ok()) return false;
    ConfigRecord base;
    std::memcpy(base.data(), image.bytes, kRecordBytes);
    return row_record(row, fitting, base, record).ok();
}

}  // namespace zav
