// The page's structure, one <section class="blatt"> per device:
//
//   <header>        "Übergabeblatt ZAV 160" (a check record: "Prüfprotokoll
//                   ZAV 160"), sheet i of n; the label as <h1>
//   div.oben        side by side:
//     h2 Übergabe   table.kopf: date, operator, device and plan row,
//                   inventory number (a line to fill in where the plan has
//                   none), remark, configuration, port (a check record:
//                   h2 Prüfung)
//     h2 Ausstattung  version, setup block, tone-pair set, and the fitting as
//                   the info window lists it
//   h2 Konfiguration  div.felder: the groups of "zavctl show" (Alarme,
//                   Adressen, Zusatzrelais), each a table of name and value,
//                   in two columns, no group split between them (a check
//                   record: h2 Soll und Ist, each field expected and found,
//                   a difference marked)
//   h2 Prüfung      outcome, the program's message, the field check, the
//                   differences a verify found, the SHA-256, the log line
//                   (a check record: h2 Ergebnis)
//   div.unterschrift  two lines to sign: handed over, taken over (a check
//                   record: one, checked)
//   footer          the zavctl that made the sheet
//
// The print styles give each section one A4 page; on a screen the sections
// look like pages. The page's margin boxes are declared (empty), which
// keeps Chromium from printing its own header and footer there (the date,
// the file's path). Every text from the log or the record is escaped, so a
// label or a 5-tone entry can never be markup.
#include "fleet/sheet/handover_sheet.h"

#include <algorithm>
#include <cctype>
#include <cstdio>

#include "core/config/config_form.h"
#include "core/info/info_text.h"
#include "core/setup/setup_block.h"
#include "fleet/base/hex.h"
#include "fleet/base/text_encoding.h"
#include "fleet/log/device_outcome.h"
#include "fleet/plan/csv_table.h"
#include "fleet/record/fitting_report.h"
#include "fleet/record/record_fields.h"
#include "fleet/record/record_view.h"
#include "fleet/text/config_text_fields.h"

namespace zav {

namespace {

constexpr char kInventorySeparator = ';';
constexpr char kUtf8ByteOrderMark[] = "\xEF\xBB\xBF";
// Day, month, year, hour, minute: on the sheet, and as a spreadsheet takes
// it for a date and time.
constexpr char kSheetTime[] = "%02d.%02d.%04d, %02d:%02d Uhr";
constexpr char kSpreadsheetTime[] = "%02d.%02d.%04d %02d:%02d";

// The program's own texts, and this file's, are Windows-1252; the page and
// the inventory are UTF-8.
std::string utf8(const std::string& program_text) { return utf8_from_cp1252(program_text); }

// UTF-8 text as HTML: markup characters escaped, and a control character
// (a record's 5-tone entry may hold any byte) shown as \xNN.
std::string html(const std::string& text) {
    std::string out;
    for (const char c : text) {
        const unsigned char byte = static_cast<unsigned char>(c);
        switch (c) {
            case '&': out += "&amp;"; break;
            case '<': out += "&lt;"; break;
            case '>': out += "&gt;"; break;
            case '"': out += "&quot;"; break;
            case '\'': out += "&#39;"; break;
            default:
                if ((byte < 0x20 && c != '\n' && c != '\t') || byte == 0x7F) {
                    out += "\\x" + hex_text(&byte, 1);
                } else {
                    out += c;
                }
        }
    }
    return out;
}

// A value, or a line to write on by hand where it is not known.
std::string value_or_blank(const std::string& text) {
    return text.empty() ? "<span class=\"offen\"></span>" : html(text);
}

std::string row(const std::string& name_html, const std::string& value_html, const char* value_class = nullptr) {
    std::string cell = value_class ? "<td class=\"" + std::string(value_class) + "\">" : "<td>";
    return "<tr><th>" + name_html + "</th>" + cell + value_html + "</td></tr>\n";
}

std::string shown_value(const std::string& program_text) { return program_text.empty() ? "(leer)" : program_text; }

// The device once, as zavctl named it in the series ("Gerät 3"): with a
// plan that number is its place in the plan, and the spreadsheet's row
// (the heading is row 1) would be a second number for the same.
std::string device_text(const SheetDevice& device) {
    if (device.device_number) {
        return "Nr. " + std::to_string(*device.device_number) + (device.plan_row ? " laut Plan" : "");
    }
    if (device.plan_row) return "Zeile " + std::to_string(*device.plan_row) + " des Plans";
    return std::string();
}

std::string handover_section(const SheetDevice& device) {
    const bool check = is_check_record(device);
    std::string text = "<div><h2>" + utf8(check ? "Prüfung" : "Übergabe") + "</h2>\n<table class=\"kopf\">\n";
    text += row(utf8("Datum"), value_or_blank(sheet_time(device.time)));
    text += row(utf8(check ? "Prüfer" : "Bearbeiter"), value_or_blank(device.operator_name));
    text += row(utf8("Gerät"), value_or_blank(device_text(device)));
    text += row(utf8("Inventarnummer"), value_or_blank(device.inventory_number));
    if (!device.remark.empty()) text += row(utf8("Bemerkung"), html(device.remark));
    text += row(utf8(check ? "Soll laut" : "Konfiguration"), value_or_blank(device.file));
    if (!device.port.empty()) text += row(utf8("Port"), html(device.port));
    return text + "</table></div>\n";
}

std::string fitting_section(const SheetDevice& device) {
    const std::array<uint8_t, kSetupBlockBytes>& setup = *device.setup;
    const InfoFields info = setup_info_fields(setup.data());
    std::string tone_pairs;
    for (int k = 0; k < info.tone_pair_count; ++k) tone_pairs += (k ? ", " : "") + std::string(info.tone_pairs[k]);

    std::string setup_text = html(setup_hex(setup.data()));
    if (device.fitting_assumed) {
        setup_text += utf8(" (angenommen: Vollausstattung; mit --setup HEX gilt die wirkliche)");
    }
    std::string text = "<div><h2>Ausstattung</h2>\n<table class=\"ausstattung\">\n";
    text += row(utf8("SW-Version"), html(utf8(info.version)));
    text += row(utf8("Setup-Block"), setup_text, "code");
    text += row(utf8("DT-Satz"), html(utf8(tone_set_text(setup.data()))));
    auto info_row = [&text](const char* label, const std::string& value) {
        text += row(html(utf8(label_without_colon(label))), html(utf8(value)));
    };
    info_row(kInfoLabelDoubleTone, tone_pairs.empty() ? "-" : tone_pairs);
    info_row(kInfoLabelFiveTone, info.five_tone_addresses);
    info_row(kInfoLabelRelays, info.relays);
    info_row(kInfoLabelDoubleToneDuration, info.double_tone_duration);
    info_row(kInfoLabelCallToneDuration, info.call_tone_duration);
    return text + "</table></div>\n";
}

const LoggedDifference* difference_in(const std::vector<LoggedDifference>& differences, const std::string& field) {
    for (const LoggedDifference& difference : differences) {
        if (difference.field == field) return &difference;
    }
    return nullptr;
}

// A field of a check record: expected (the file or plan) and found (the
// device). The log names the fields that differ; every other one was found
// as expected.
std::string checked_row(const Field& field, const std::vector<LoggedDifference>& differences) {
    const std::string found = utf8(shown_value(field.value));
    const LoggedDifference* difference = difference_in(differences, utf8(field.name));
    const std::string expected = difference ? difference->expected.value_or(utf8("(fehlt)")) : found;
    return std::string(difference ? "<tr class=\"abweichend\">" : "<tr>") + "<th>" + html(utf8(field.name)) +
           "</th><td>" + html(expected) + "</td><td>" + html(found) + "</td></tr>\n";
}

std::string fields_section(const RecordView& view, const SheetDevice& device) {
    const bool check = is_check_record(device);
    std::string text = "<h2>" + utf8(check ? "Soll und Ist" : "Konfiguration") + "</h2>\n<div class=\"felder\">\n";
    for (const FieldGroup& group : field_groups(view)) {
        text += std::string("<table class=\"gruppe") + (check ? " soll-ist" : "") + "\">\n<caption>" +
                html(utf8(group.title)) + "</caption>\n";
        if (check && !group.fields.empty()) text += "<tr class=\"spalten\"><th></th><td>Soll</td><td>Ist</td></tr>\n";
        if (group.fields.empty()) text += row(html(utf8("(keine)")), "");
        for (const Field& field : group.fields) {
            text += check ? checked_row(field, device.differences)
                          : row(html(utf8(field.name)), html(utf8(shown_value(field.value))));
        }
        text += "</table>\n";
    }
    return text + "</div>\n";
}

std::string differences_table(const std::vector<LoggedDifference>& differences) {
    std::string text = "<table class=\"unterschiede\">\n<tr><th>Feld</th><th>Soll</th><th>Ist</th></tr>\n";
    for (const LoggedDifference& difference : differences) {
        text += "<tr><td>" + html(difference.field) + "</td><td>" +
                html(difference.expected.value_or(utf8("(fehlt)"))) + "</td><td>" +
                html(difference.found.value_or(utf8("(fehlt)"))) + "</td></tr>\n";
    }
    return text + "</table>\n";
}

std::string check_section(const SheetDevice& device, const RecordView& view) {
    std::string text = "<h2>" + utf8(is_check_record(device) ? "Ergebnis" : "Prüfung") +
                       "</h2>\n<table class=\"pruefung\">\n";
    const std::string outcome = device.outcome.empty() ? utf8("nicht geprüft (aus einer Datei, ohne Gerät)")
                                                       : outcome_text(device.outcome);
    text += row(utf8("Ergebnis"), "<strong>" + html(outcome) + "</strong>");
    if (!device.message.empty()) text += row(utf8("Meldung"), html(device.message));
    const std::string field_check = view.check_code == 0 ? "in Ordnung" : config_error_text(view.check_code);
    text += row(utf8("Feldprüfung"), html(utf8(field_check)));
    if (!device.differences.empty()) text += row(utf8("Unterschiede"), differences_table(device.differences));
    text += row(utf8("SHA-256"), html(device.sha256), "code");
    std::string source = device.source;
    if (!device.zavctl.empty()) source += ", zavctl " + device.zavctl;
    text += row(utf8("Quelle"), html(source));
    return text + "</table>\n";
}

constexpr char kStyle[] = R"(<style>
@page {
  size: A4 portrait; margin: 12mm 15mm;
  @top-left { content: ""; } @top-center { content: ""; } @top-right { content: ""; }
  @bottom-left { content: ""; } @bottom-center { content: ""; } @bottom-right { content: ""; }
}
* { box-sizing: border-box; }
body { margin: 0; font-family: "DejaVu Sans", Arial, Helvetica, sans-serif; font-size: 9pt; color: #000; }
.blatt { break-after: page; page-break-after: always; break-inside: avoid; }
.blatt:last-child { break-after: auto; page-break-after: auto; }
header { display: flex; justify-content: space-between; border-bottom: 0.4mm solid #000; font-size: 8.5pt; }
h1 { font-size: 17pt; margin: 2mm 0 2mm; }
h2 { font-size: 10.5pt; margin: 3.5mm 0 1mm; border-bottom: 0.2mm solid #777; }
table { border-collapse: collapse; width: 100%; }
th, td { text-align: left; vertical-align: top; padding: 0.35mm 1.5mm 0.35mm 0; }
th { font-weight: normal; color: #333; width: 42%; }
caption { text-align: left; font-weight: bold; padding: 1mm 0 0.5mm; }
.kopf th, .ausstattung th { width: 30mm; }
.pruefung th { width: 30mm; }
.oben { display: grid; grid-template-columns: 1fr 1fr; column-gap: 8mm; }
.felder { columns: 2; column-gap: 8mm; }
.gruppe { margin-bottom: 1.5mm; break-inside: avoid; page-break-inside: avoid; }
.gruppe th { width: 58%; white-space: nowrap; }
.soll-ist { table-layout: fixed; font-size: 8pt; }
.soll-ist th { width: 40%; white-space: normal; }
.soll-ist td { width: 30%; overflow-wrap: anywhere; }
.spalten td { color: #333; }
.abweichend th, .abweichend td { font-weight: bold; text-decoration: underline; }
.unterschiede th { width: auto; font-weight: bold; }
.code { font-family: "DejaVu Sans Mono", "Courier New", monospace; word-break: break-all; }
.offen { display: inline-block; min-width: 60mm; border-bottom: 0.2mm solid #000; }
.unterschrift { display: flex; gap: 12mm; margin-top: 12mm; }
.unterschrift div { flex: 1; border-top: 0.3mm solid #000; padding-top: 1mm; font-size: 8pt; }
.unterschrift div.leer { border-top: none; }
footer { margin-top: 4mm; font-size: 7.5pt; color: #444; }
@media screen {
  body { background: #ccc; }
  .blatt { background: #fff; width: 210mm; min-height: 297mm; margin: 6mm auto; padding: 12mm 15mm; }
}
</style>
)";

std::string sheet(const SheetDevice& device, size_t number, size_t count) {
    const RecordView view = view_record(device.record->data(), (*device.setup)[0], (*device.setup)[1]);
    const bool check = is_check_record(device);
    std::string text = "<section class=\"blatt\">\n<header><span>";
    text += utf8(check ? "Prüfprotokoll ZAV 160" : "Übergabeblatt ZAV 160") + "</span><span>" + utf8("Blatt ") +
            std::to_string(number) + " von " + std::to_string(count) + "</span></header>\n";
    text += "<h1>" + html(device.label) + "</h1>\n";
    text += "<div class=\"oben\">\n" + handover_section(device) + fitting_section(device) + "</div>\n";
    text += fields_section(view, device);
    text += check_section(device, view);
    // A check hands nothing over: the one who checked signs.
    text += check ? "<div class=\"unterschrift\"><div>" + utf8("Geprüft: Datum, Name, Unterschrift") +
                        "</div><div class=\"leer\"></div></div>\n"
                  : "<div class=\"unterschrift\"><div>" + utf8("Übergeben: Datum, Name, Unterschrift") +
                        "</div><div>" + utf8("Übernommen: Datum, Name, Unterschrift") + "</div></div>\n";
    text += "<footer>" + utf8("Erstellt mit zavctl " ZAV_VERSION_TEXT) + "</footer>\n</section>\n";
    return text;
}

// The log's time in a German form (format takes day, month, year, hour,
// minute); a time of another form as it stands.
std::string german_time(const std::string& iso_time, const char* format) {
    int year = 0, month = 0, day = 0, hour = 0, minute = 0;
    char separator = 0;
    if (std::sscanf(iso_time.c_str(), "%4d-%2d-%2d%c%2d:%2d", &year, &month, &day, &separator, &hour, &minute) != 6 ||
        (separator != 'T' && separator != ' ')) {
        return iso_time;
    }
    char text[40];
    std::snprintf(text, sizeof text, format, day, month, year, hour, minute);
    return text;
}

// Whether a spreadsheet would take the text for a number, a date, a time
// or a truth value and show it otherwise ("01401" as 1401, "2.30" as a
// date): digits with nothing but signs, separators and an exponent among
// them, or the words for true and false.
bool spreadsheet_would_convert(const std::string& text) {
    bool digit = false;
    for (const char c : text) {
        if (c >= '0' && c <= '9') {
            digit = true;
        } else if (std::string(" +-.,:/eE%").find(c) == std::string::npos) {
            digit = false;
            break;
        }
    }
    if (digit) return true;
    std::string word;
    for (const char c : text) word += static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    return word == "WAHR" || word == "FALSCH" || word == "TRUE" || word == "FALSE";
}

// Whether a spreadsheet would compute the text: a formula begins with =, +,
// - or @, and some spreadsheets drop a leading tab or CR before looking.
bool spreadsheet_would_compute(const std::string& text) {
    return !text.empty() && std::string("=+-@\t\r").find(text[0]) != std::string::npos;
}

// A cell of the inventory: the text as it is, after the invisible
// kKeepAsText where a spreadsheet would change or compute it.
std::string inventory_cell(const std::string& text) {
    if (text.empty()) return std::string();
    const bool keep = spreadsheet_would_convert(text) || spreadsheet_would_compute(text);
    return csv_cell(keep ? kKeepAsText + text : text, kInventorySeparator);
}

// The time as a spreadsheet takes it for a date, so that it can sort by it.
// A time the log gives in another form, or one that would still start a
// formula ("-5.12.2026" from a day of -5), is a text like any other.
std::string time_cell(const std::string& iso_time) {
    const std::string time = german_time(iso_time, kSpreadsheetTime);
    if (time == iso_time || spreadsheet_would_compute(time)) return inventory_cell(time);
    return csv_cell(time, kInventorySeparator);
}

std::string optional_number(const std::optional<int>& number) { return number ? std::to_string(*number) : ""; }

}  // namespace

SheetDevice sheet_device_of(const AuditEntry& entry, const std::string& log_name) {
    SheetDevice device;
    device.label = entry.label;
    if (device.label.empty() && entry.device_number) {
        device.label = utf8("Gerät ") + std::to_string(*entry.device_number);
    }
    if (device.label.empty()) device.label = entry.file;
    device.time = entry.time;
    device.operator_name = entry.operator_name;
    device.device_number = entry.device_number;
    device.plan_row = entry.plan_row;
    device.inventory_number = entry.inventory_number;
    device.remark = entry.remark;
    device.plan_values = entry.plan_values;
    device.command = entry.command;
    device.port = entry.port;
    device.file = entry.file;
    device.setup = entry.setup;
    device.record = entry.record;
    device.sha256 = entry.sha256;
    device.outcome = entry.outcome;
    device.message = entry.message;
    device.first_message = entry.first_message;
    device.differences = entry.differences;
    device.zavctl = entry.zavctl;
    device.source = log_name + ", Zeile " + std::to_string(entry.line);
    return device;
}

bool has_sheet(const SheetDevice& device) {
    // A device left to be placed by the user holds a row's record that
    // another device was given: a sheet would hand over the wrong one.
    const std::optional<DeviceOutcome> outcome = outcome_named(device.outcome);
    return device.setup.has_value() && device.record.has_value() && outcome != DeviceOutcome::kFailed &&
           outcome != DeviceOutcome::kNeedsAttention;
}

std::string outcome_text(const std::string& outcome) {
    const std::optional<DeviceOutcome> named = outcome_named(outcome);
    if (!named) return outcome;
    switch (*named) {
        case DeviceOutcome::kProgrammed: return utf8("programmiert");
        case DeviceOutcome::kUnchanged: return utf8("unverändert");
        case DeviceOutcome::kVerified: return utf8("geprüft: gleich");
        case DeviceOutcome::kDiffers: return utf8("geprüft: Unterschiede");
        case DeviceOutcome::kRead: return utf8("gelesen und gesichert");
        case DeviceOutcome::kFailed: return utf8("fehlgeschlagen");
        case DeviceOutcome::kNeedsAttention: return utf8("zu klären");
    }
    return outcome;
}

std::string sheet_time(const std::string& iso_time) { return german_time(iso_time, kSheetTime); }

bool is_check_record(const SheetDevice& device) { return device.command == "verify"; }

std::string handover_sheet_html(const std::vector<SheetDevice>& devices) {
    size_t count = 0, checks = 0;
    for (const SheetDevice& device : devices) {
        count += has_sheet(device) ? 1 : 0;
        checks += has_sheet(device) && is_check_record(device) ? 1 : 0;
    }
    const char* title = checks == 0       ? "Übergabeblätter ZAV 160"
                        : checks == count ? "Prüfprotokolle ZAV 160"
                                          : "Übergabeblätter und Prüfprotokolle ZAV 160";
    std::string page = "<!DOCTYPE html>\n<html lang=\"de\">\n<head>\n<meta charset=\"utf-8\">\n<title>" +
                       utf8(title) + "</title>\n" + kStyle + "</head>\n<body>\n";
    size_t number = 0;
    for (const SheetDevice& device : devices) {
        if (has_sheet(device)) page += sheet(device, ++number, count);
    }
    return page + "</body>\n</html>\n";
}

std::string inventory_csv(const std::vector<SheetDevice>& devices) {
    size_t most_addresses = 0;
    std::vector<std::optional<RecordView>> views;
    // Every plan's columns, in the order first met, but a 5-tone number's:
    // the device's own is in its column ("5-Ton Nummer 1") already.
    std::vector<std::string> plan_keys;
    for (const SheetDevice& device : devices) {
        for (const auto& [key, value] : device.plan_values) {
            const std::optional<config_text::FieldRef> field = config_text::field_of_path(key);
            if (field && field->kind == config_text::FieldKind::kNumber) continue;
            if (std::find(plan_keys.begin(), plan_keys.end(), key) == plan_keys.end()) plan_keys.push_back(key);
        }
        views.emplace_back();
        if (!device.record || !device.setup) continue;
        views.back() = view_record(device.record->data(), (*device.setup)[0], (*device.setup)[1]);
        most_addresses = std::max(most_addresses, views.back()->five_tone.size());
    }
    const std::string separator(1, kInventorySeparator);
    std::vector<std::string> head = {"Bezeichnung", "Inventarnummer", "Bemerkung", "Datum", "Bearbeiter", "Gerät",
                                     "Plan-Zeile",  "SW-Version",     "Setup-Block", "DT-Satz"};
    for (std::string& name : head) name = utf8(name);
    for (size_t n = 1; n <= most_addresses; ++n) head.push_back("5-Ton Nummer " + std::to_string(n));
    head.insert(head.end(), plan_keys.begin(), plan_keys.end());
    for (const char* name : {"Ergebnis", "Meldung", "SHA-256", "Konfiguration", "Quelle"}) head.push_back(name);

    std::string text = kUtf8ByteOrderMark;
    for (size_t i = 0; i < head.size(); ++i) text += (i ? separator : "") + inventory_cell(head[i]);
    text += "\r\n";
    for (size_t d = 0; d < devices.size(); ++d) {
        const SheetDevice& device = devices[d];
        std::vector<std::string> cells = {inventory_cell(device.label),
                                          inventory_cell(device.inventory_number),
                                          inventory_cell(device.remark),
                                          time_cell(device.time),
                                          inventory_cell(device.operator_name),
                                          optional_number(device.device_number),
                                          optional_number(device.plan_row)};
        if (device.setup) {
            const InfoFields info = setup_info_fields(device.setup->data());
            cells.push_back(inventory_cell(utf8(info.version)));
            cells.push_back(inventory_cell(setup_hex(device.setup->data())));
            cells.push_back(inventory_cell(utf8(tone_set_text(device.setup->data()))));
        } else {
            cells.insert(cells.end(), 3, std::string());
        }
        for (size_t n = 0; n < most_addresses; ++n) {
            const bool has = views[d] && n < views[d]->five_tone.size();
            cells.push_back(has ? inventory_cell(utf8(views[d]->five_tone[n])) : std::string());
        }
        for (const std::string& key : plan_keys) {
            const auto given = std::find_if(device.plan_values.begin(), device.plan_values.end(),
                                            [&](const auto& value) { return value.first == key; });
            cells.push_back(given == device.plan_values.end() ? std::string() : inventory_cell(given->second));
        }
        cells.push_back(inventory_cell(device.outcome.empty() ? std::string() : outcome_text(device.outcome)));
        cells.push_back(inventory_cell(device.first_message.empty()
                                           ? device.message
                                           : device.message + " (zuerst: " + device.first_message + ")"));
        cells.push_back(inventory_cell(device.sha256));
        cells.push_back(inventory_cell(device.file));
        cells.push_back(inventory_cell(device.source));
        for (size_t i = 0; i < cells.size(); ++i) text += (i ? separator : "") + cells[i];
        text += "\r\n";
    }
    return text;
}

}  // namespace zav
