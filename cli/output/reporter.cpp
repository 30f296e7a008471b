#include "cli/output/reporter.h"

#include <algorithm>

#include "cli/platform/console.h"
#include "fleet/base/text_encoding.h"
#include "fleet/base/text_wrap.h"

namespace zav::cli {

namespace {

constexpr const char kDetailIndent[] = "        ";  // under the message, after "zavctl: "
constexpr const char kNoteIndent[] = "  ";

nlohmann::json with_schema(const nlohmann::json& value) {
    nlohmann::json document = value;
    document["schema"] = kJsonSchema;
    return document;
}

}  // namespace

bool Reporter::progress_shown() const { return !quiet_ && is_terminal(Stream::kError); }

void Reporter::line(const std::string& text) const {
    if (!json_) write_text(Stream::kOut, escaped_controls(text) + "\n");
}

void Reporter::paragraph(const std::string& text, const std::string& indent) const {
    if (!json_) write_text(Stream::kOut, wrapped(escaped_controls(text), indent) + "\n");
}

void Reporter::block(const std::string& text, const std::string& indent) const {
    if (json_) return;
    std::string indented;
    size_t begin = 0;
    while (begin < text.size()) {
        size_t end = text.find('\n', begin);
        if (end == std::string::npos) end = text.size();
        indented += indent + escaped_controls(text.substr(begin, end - begin)) + "\n";
        begin = end + 1;
    }
    write_text(Stream::kOut, indented);
}

void Reporter::note(const std::string& text) const {
    if (!quiet_) write_text(Stream::kError, wrapped(escaped_controls(text), kNoteIndent) + "\n");
}

void Reporter::warning(const std::string& text) const {
    write_text(Stream::kError, wrapped("zavctl: Warnung: " + escaped_controls(text), kDetailIndent) + "\n");
}

void Reporter::document(const nlohmann::json& value) const {
    if (json_) write_utf8(Stream::kOut, with_schema(value).dump(2) + "\n");
}

void Reporter::document_line(const nlohmann::json& value) const {
    if (json_) write_utf8(Stream::kOut, with_schema(value).dump() + "\n");
}

int Reporter::fail(const Outcome& outcome, bool told_in_document) const {
    // The message stays on one line, as the program words it, so that it
    // can be searched for; the explanation is broken to fit, each of its
    // lines (a lost line, then what it did to the device) on its own.
    std::string text = "zavctl: " + escaped_controls(outcome.message) + "\n";
    size_t begin = 0;
    while (begin < outcome.detail.size()) {
        const size_t end = std::min(outcome.detail.find('\n', begin), outcome.detail.size());
        text += wrapped(kDetailIndent + escaped_controls(outcome.detail.substr(begin, end - begin)), kDetailIndent) +
                "\n";
        begin = end + 1;
    }
    write_text(Stream::kError, text);
    if (json_ && !told_in_document) {
        nlohmann::json error = {{"exit_code", outcome.exit_code}, {"message", json_text(outcome.message)}};
        if (!outcome.detail.empty()) error["detail"] = json_text(outcome.detail);
        write_utf8(Stream::kOut, with_schema({{"error", error}}).dump(2) + "\n");
    }
    return outcome.exit_code;
}

}  // namespace zav::cli
