// The audit log as zavctl reads it back (read_audit_log, and the rows a
// series started again takes as done, logged_rows): JSON lines, the last
// one cut by a power loss, lines tampered with.
//
// The input is either the log's bytes, or (first byte 0) a log that the
// target writes with zavctl's own line writer for a plan of four rows,
// from operations the following bytes choose: a whole line of a row
// programmed or unchanged, one of another command or outcome, of another
// row's record or label; a line cut short (with its line end or without,
// so that the next line continues it), a line of rubbish, a blank line; a
// whole line with a huge number, a value of the wrong kind or a key twice.
//
// Properties:
//  - every line is read, passed over or refused as its content says: a
//    line that is no JSON (cut) is passed over with its number and never
//    read as a device; one that is JSON but not what the log promises
//    stops the reading at its number (passed over too when a series
//    looks for its rows);
//  - what is read is what the log promises: an outcome, an exit code 0 to
//    255, a device number and a plan row from 1, a digest of 64 hex digits
//    that is the record's;
//  - for a written log: the lines read are exactly the whole lines of the
//    schema, and the rows counted done are exactly those that have a whole
//    line of "program", programmed or unchanged, of their row and label,
//    with the record the row gives for that device's type (and of the type
//    the series is given, where it is given).
#include <nlohmann/json.hpp>

#include <array>
#include <memory>
#include <optional>
#include <set>
#include <string>
#include <string_view>
#include <vector>

#include "core/setup/setup_block.h"
#include "fleet/base/sha256.h"
#include "fleet/log/audit_line.h"
#include "fleet/log/audit_log_reader.h"
#include "fleet/log/logged_rows.h"
#include "fleet/plan/plan_reader.h"
#include "fleet/plan/planned_records.h"
#include "fleet/text/configuration_source.h"
#include "fuzz_check.h"

using namespace zav;
using zav_fuzz::Input;

namespace {

using Setup = std::array<uint8_t, kSetupBlockBytes>;

// The template and plan a series works from (the example's, shortened).
constexpr char kTemplate[] = R"(format = 1
totzeit = 30
alarmpause = 10
alarmspeicher = 1
[[alarm]]
doppel_ton = "675Hz/1240Hz"
codierung = "ON01,ON02"
[[alarm]]
doppel_ton = "675Hz/1860Hz"
codierung = "ON01"
[adressen]
anzahl = 3
nummern = ["21400", "21490", "21499"]
hand = "675Hz/1240Hz"
[[zusatzrelais]]
fuenf_ton = "1"
doppel_ton = "-keiner-"
ein_zeit = 10
[[zusatzrelais]]
fuenf_ton = "alle"
doppel_ton = "675Hz/1240Hz"
ein_zeit = 30
)";
// Two rows of one label, so that the row decides.
constexpr char kPlan[] =
    "bezeichnung;adressen.nummern.1;zusatzrelais.1.ein_zeit;inventarnummer\r\n"
    "LF 20;21401;10;0471\r\n"
    "HLF 20;21402;20;0472\r\n"
    "ELW 1;21403;;0473\r\n"
    "LF 20;21404;30;0474\r\n";

Setup setup_of(uint8_t byte1, uint8_t byte2) {
    return {byte1, byte2, setup_check_byte(static_cast<uint16_t>(byte1 | byte2 << 8)), 2, 30};
}

struct Series {
    ConfigurationSource source;
    Plan plan;
    std::unique_ptr<PlannedRecords> records;
    // Alarms 0 and 1 with ten addresses and two relays; the same with five
    // addresses; and without relays, which the template does not fit.
    std::array<Setup, 3> types = {setup_of(0x63, 0x01), setup_of(0x43, 0x01), setup_of(0x03, 0x01)};

    Series() {
        source.name = "vorlage.toml";
        FUZZ_CHECK(configuration_from_bytes(kTemplate, source).ok());
        PlanReading reading = parse_plan(kPlan);
        FUZZ_CHECK(reading.ok);
        plan = reading.plan;
        records = std::make_unique<PlannedRecords>(source, &plan, "plan.csv");
        for (size_t r = 0; r < plan.rows.size(); ++r) {
            for (size_t t = 0; t < types.size(); ++t) {
                ConfigRecord record{};
                if (records->record_for_fitting(&plan.rows[r], {types[t][0], types[t][1]}, record)) {
                    record_of[r][t] = record;
                }
            }
        }
    }

    // The record each row gives for each type (none: the type refuses it).
    std::array<std::array<std::optional<ConfigRecord>, 3>, 4> record_of;
};

const Series& series() {
    static const Series made;
    return made;
}

// ---- Any log ----------------------------------------------------------------

std::vector<std::string_view> lines_of(std::string_view bytes) {
    std::vector<std::string_view> lines;
    size_t begin = 0;
    while (begin < bytes.size()) {
        size_t end = bytes.find('\n', begin);
        if (end == std::string_view::npos) end = bytes.size();
        std::string_view line = bytes.substr(begin, end - begin);
        if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
        lines.push_back(line);
        begin = end + 1;
    }
    return lines;
}

// ZAV_FUZZ_VERBOSE=1: how each line was taken, for an input replayed by hand.
bool verbose() { return std::getenv("ZAV_FUZZ_VERBOSE") != nullptr; }

bool blank(std::string_view line) { return line.find_first_not_of(" \t") == std::string_view::npos; }

// What a line cut short leaves: no JSON at all.
bool is_json(std::string_view line) {
    try {
        (void)nlohmann::ordered_json::parse(line);
    } catch (const nlohmann::json::parse_error&) {
        return false;
    } catch (const nlohmann::json::exception&) {
        // Complete, but a value no reader can hold (1e999): not cut.
    }
    return true;
}

bool is_hex_digest(const std::string& text) {
    if (text.size() != 64) return false;
    for (const char c : text) {
        if (!((c >= '0' && c <= '9') || (c >= 'a' && c <= 'f'))) return false;
    }
    return true;
}

void check_entry(const AuditEntry& entry, size_t lines) {
    FUZZ_CHECK(entry.line >= 1 && entry.line <= lines);
    FUZZ_CHECK(!entry.outcome.empty());
    FUZZ_CHECK(entry.exit_code >= 0 && entry.exit_code <= 255);
    FUZZ_CHECK(!entry.device_number || *entry.device_number >= 1);
    FUZZ_CHECK(!entry.plan_row || *entry.plan_row >= 1);
    FUZZ_CHECK(entry.sha256.empty() || is_hex_digest(entry.sha256));
    if (entry.record && !entry.sha256.empty()) {
        FUZZ_CHECK(sha256_hex(entry.record->data(), kRecordBytes) == entry.sha256);
    }
    if (outcome_named(entry.outcome) != DeviceOutcome::kFailed) FUZZ_CHECK(entry.setup && entry.record);
}

// Both readings against the lines' content; the whole lines of the schema
// where the log was written here (others: none known, so only that every
// line read is JSON).
void check_log(std::string_view bytes, const std::set<std::string>* whole_lines) {
    const std::vector<std::string_view> lines = lines_of(bytes);
    std::vector<bool> json_lines;
    for (const std::string_view line : lines) json_lines.push_back(!blank(line) && is_json(line));
    for (const FaultyLines faulty : {FaultyLines::kRefuse, FaultyLines::kPassOver}) {
        const AuditLogReading reading = read_audit_log(bytes, faulty);
        size_t entry = 0, skipped = 0;
        for (size_t n = 1; n <= lines.size(); ++n) {
            const std::string_view line = lines[n - 1];
            if (blank(line)) continue;
            if (!reading.ok && n == reading.error_line) break;
            const bool read = entry < reading.entries.size() && reading.entries[entry].line == n;
            const bool passed_over = skipped < reading.skipped.size() && reading.skipped[skipped].line == n;
            if (verbose()) std::fprintf(stderr, "line %zu: %s\n", n, read ? "read" : passed_over ? "passed over" : "neither");
            FUZZ_CHECK(read != passed_over);
            if (read) {
                FUZZ_CHECK(json_lines[n - 1]);
                if (whole_lines != nullptr) FUZZ_CHECK(whole_lines->count(std::string(line)) == 1);
                check_entry(reading.entries[entry++], lines.size());
            } else {
                FUZZ_CHECK(!reading.skipped[skipped++].reason.empty());
                // Passed over in a reading that stops at faulty lines: cut.
                if (faulty == FaultyLines::kRefuse) FUZZ_CHECK(!json_lines[n - 1]);
                if (whole_lines != nullptr) FUZZ_CHECK(whole_lines->count(std::string(line)) == 0);
            }
        }
        FUZZ_CHECK(entry == reading.entries.size() && skipped == reading.skipped.size());
        if (faulty == FaultyLines::kPassOver) FUZZ_CHECK(reading.ok);
        if (!reading.ok) {
            if (verbose()) std::fprintf(stderr, "refused at line %zu: %s\n", reading.error_line, reading.error.c_str());
            FUZZ_CHECK(reading.error_line >= 1 && reading.error_line <= lines.size());
            const std::string_view line = lines[reading.error_line - 1];
            FUZZ_CHECK(json_lines[reading.error_line - 1] && !reading.error.empty());
            if (whole_lines != nullptr) FUZZ_CHECK(whole_lines->count(std::string(line)) == 0);
        } else if (whole_lines != nullptr && faulty == FaultyLines::kRefuse) {
            // Nothing but whole lines of the schema and lines that are no JSON.
            for (size_t n = 0; n < lines.size(); ++n) {
                FUZZ_CHECK(!json_lines[n] || whole_lines->count(std::string(lines[n])) == 1);
            }
        }
    }
}

// ---- A log written by zavctl's line writer ----------------------------------

struct Written {
    std::string line;  // without its line end
    bool schema = true;   // a line the log promises
    int done_row = -1;    // the row it shows done, if any
};

std::string dumped(const AuditLine& line) {
    return audit_line_json(line).dump(-1, ' ', false, nlohmann::ordered_json::error_handler_t::replace);
}

void replace_once(std::string& text, const std::string& what, const std::string& by) {
    const size_t at = text.find(what);
    FUZZ_CHECK(at != std::string::npos);
    text.replace(at, what.size(), by);
}

// A whole line that the log does not promise: a huge number, a value of
// the wrong kind, or a key twice.
std::string tampered(std::string line, uint8_t how, const ConfigRecord& other_record) {
    switch (how % 9) {
        case 0: replace_once(line, "\"exit_code\":0", "\"exit_code\":4294967296"); break;
        case 1: replace_once(line, "\"exit_code\":0", "\"exit_code\":1e999"); break;
        case 2: replace_once(line, "\"row\":", "\"row\":1844674407370955161"); break;
        case 3: replace_once(line, "\"number\":", "\"number\":-"); break;
        case 4: replace_once(line, "\"retries\":0", "\"retries\":\"0\""); break;
        case 5: replace_once(line, "\"duration_s\":", "\"duration_s\":-1"); break;
        case 6: replace_once(line, "\"plan\":{", "\"plan\":{\"row\":\"1\","); break;
        case 7: replace_once(line, "{", "{\"outcome\":\"programmed\","); break;
        default: {
            // The record twice, the first one the row's.
            const std::string key = "\"record\":\"";
            std::string hex;
            static const char kDigits[] = "0123456789ABCDEF";
            for (const uint8_t byte : other_record) hex += std::string{kDigits[byte >> 4], kDigits[byte & 15]};
            replace_once(line, "{", "{" + key + hex + "\",");
        }
    }
    return line;
}

// Rubbish that can never complete a JSON object: no braces, no blanks.
std::string rubbish(Input& in) {
    std::string text;
    const size_t length = in.byte() % 40;
    for (size_t i = 0; i < length; ++i) {
        char c = static_cast<char>(in.byte());
        if (c == '{' || c == '}' || c == ' ' || c == '\t' || c == '\r' || c == '\n') c = '_';
        text += c;
    }
    return text;
}

void run_written_log(Input& in) {
    const Series& s = series();
    const uint8_t given = in.byte() % 4;
    const Setup* given_type = given == 0 ? nullptr : &s.types[given - 1];

    std::string log;
    std::vector<Written> written;
    bool needs_line_end = false;  // the last line was cut without its end
    size_t operations = 0;
    while (!in.empty() && operations++ < 16) {
        const uint8_t op = in.byte();
        const size_t row_index = in.byte() % s.plan.rows.size();
        const PlanRow& row = s.plan.rows[row_index];
        const size_t type_index = in.byte() % s.types.size();
        const Setup& type = s.types[type_index];
        const uint8_t variant = in.byte();

        AuditLine line;
        line.time = "2026-12-08T09:15:02+01:00";
        line.command = "program";
        line.operator_name = "mueller";
        line.device_number = static_cast<int>(row_index) + 1;
        line.setup = type;
        line.file = "vorlage.toml";
        take_plan_row(line, row);
        const std::optional<ConfigRecord>& record = s.record_of[row_index][type_index];
        const bool has_record = record.has_value();
        line.record = record.value_or(ConfigRecord{});
        line.outcome = variant & 1 ? DeviceOutcome::kUnchanged : DeviceOutcome::kProgrammed;
        const ConfigRecord other =
            s.record_of[(row_index + 1) % s.plan.rows.size()][type_index].value_or(ConfigRecord{});

        Written item;
        bool counts = has_record && (given_type == nullptr || *given_type == type);
        std::string end = "\n";
        switch (op % 8) {
            case 0:  // whole, of its row
                break;
            case 1: {  // another record, row or label
                counts = false;
                if (variant & 2) {
                    line.record = other;
                } else if (variant & 4) {
                    line.plan_row = static_cast<int>(s.plan.rows[(row_index + 1) % s.plan.rows.size()].row);
                } else {
                    line.plan_label = "LF 20 alt";
                }
                break;
            }
            case 2: {  // another command or outcome
                counts = false;
                static const DeviceOutcome kOthers[] = {DeviceOutcome::kFailed, DeviceOutcome::kDiffers,
                                                        DeviceOutcome::kVerified, DeviceOutcome::kRead};
                if (variant & 2) {
                    line.command = variant & 4 ? "verify" : "read";
                } else {
                    line.outcome = kOthers[(variant >> 2) % 4];
                    line.exit_code = line.outcome == DeviceOutcome::kFailed ? 4 : 0;
                }
                break;
            }
            case 3: {  // cut short
                const std::string whole = dumped(line);
                log += (needs_line_end ? "\n" : "") + whole.substr(0, in.byte() % whole.size());
                needs_line_end = !(variant & 2);
                if (!needs_line_end) log += variant & 4 ? "\n" : "\r\n";
                continue;
            }
            case 4:  // rubbish
                log += rubbish(in);
                needs_line_end = !(variant & 2);
                if (!needs_line_end) log += "\n";
                continue;
            case 5:  // tampered
                item.line = tampered(dumped(line), in.byte(), other);
                item.schema = false;
                counts = false;
                break;
            case 6:  // blank
                log += (needs_line_end ? "\n" : "") + std::string(variant % 3, ' ') + "\n";
                needs_line_end = false;
                continue;
            default:  // whole, ended CR LF
                end = "\r\n";
                break;
        }
        if (item.line.empty()) item.line = dumped(line);
        if (counts) item.done_row = static_cast<int>(row_index);
        // zavctl's log ends a line that a crash left without its end first;
        // variant bit 7 leaves it out, as an older writer did.
        if (needs_line_end && !(variant & 0x80)) log += "\n";
        log += item.line + end;
        needs_line_end = false;
        written.push_back(item);
    }

    // A line counts as written whole only where it stands alone on its line.
    std::set<std::string> whole_lines;
    std::vector<bool> done(s.plan.rows.size(), false);
    const std::vector<std::string_view> lines = lines_of(log);
    for (const Written& item : written) {
        bool alone = false;
        for (const std::string_view line : lines) alone = alone || line == item.line;
        if (!alone) continue;
        if (item.schema) whole_lines.insert(item.line);
        if (item.done_row >= 0) done[static_cast<size_t>(item.done_row)] = true;
    }
    if (verbose()) std::fprintf(stderr, "%s---\n", log.c_str());
    check_log(log, &whole_lines);

    const LoggedRows logged = logged_rows(*s.records, s.plan, log, given_type ? given_type->data() : nullptr);
    if (verbose()) {
        std::fprintf(stderr, "rows done:");
        for (size_t i = 0; i < done.size(); ++i) std::fprintf(stderr, " %d/%d", int(done[i]), int(logged.done[i]));
        std::fprintf(stderr, " (expected/counted)\n");
    }
    FUZZ_CHECK(logged.done == done);
    // Every other line is passed over, and said.
    size_t others = 0;
    for (const std::string_view line : lines) others += !blank(line) && whole_lines.count(std::string(line)) == 0;
    FUZZ_CHECK(logged.skipped.size() == others);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size > 0 && data[0] == 0) {
        Input in{data + 1, size - 1};
        run_written_log(in);
        return 0;
    }
    char* file = static_cast<char*>(std::malloc(size ? size : 1));
    std::memcpy(file, data, size);
    check_log(std::string_view(file, size), nullptr);
    std::free(file);
    return 0;
}
