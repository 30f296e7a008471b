#include "cli/output/reporter.h"

#include <algorithm>

#include "cli/platform/answer.h"
#include "cli/platform/console.h"
#include "fleet/base/text_encoding.h"
#include "fleet/base/text_wrap.h"

namespace zav::cli {

namespace {

constexpr const char kDetailIndent[] = "        ";  // under the message, after "zavctl: "
constexpr const char kNoteIndent[] = "  ";

// A message broken to 80 columns for a person at a terminal; into a file or
// a pipe every message stays on its line, so that it can be searched for
// whole. (A report's own layout, paragraph(), is 80 columns wherever it
// goes.)
std::string fitted(const std::string& text, const std::string& indent, Stream stream) {
    return is_terminal(stream) ? wrapped(text, indent) : text;
}

nlohmann::json with_schema(const nlohmann::json& value) {
    nlohmann::json document = value;
    document["schema"] = kJsonSchema;
    return document;
}

}  // namespace

Reporter Reporter::for_port(const std::string& tag, const std::string& port) const {
    Reporter reporter = *this;
    reporter.tag_ = "[" + escaped_controls(tag) + "] ";
    reporter.port_ = port;
    return reporter;
}

std::string Reporter::tagged(const std::string& text) const {
    if (tag_.empty()) return text;
    std::string result;
    size_t begin = 0;
    while (begin < text.size()) {
        size_t end = text.find('\n', begin);
        end = end == std::string::npos ? text.size() : end + 1;
        result += tag_ + text.substr(begin, end - begin);
        begin = end;
    }
    return result;
}

nlohmann::json Reporter::with_port(const nlohmann::json& value) const {
    if (port_.empty() || value.contains("port")) return value;
    nlohmann::json document = value;
    document["port"] = json_name(port_);
    return document;
}

// A bar redrawn in place cannot be shared by several ports: each port's
// lines tell what its device is at instead.
bool Reporter::progress_shown() const { return !quiet_ && tag_.empty() && is_terminal(Stream::kError); }

void Reporter::line(const std::string& text) const {
    if (!json_) write_text(Stream::kOut, tagged(escaped_controls(text) + "\n"));
}

void Reporter::paragraph(const std::string& text, const std::string& indent) const {
    if (!json_) write_text(Stream::kOut, tagged(wrapped(escaped_controls(text), indent) + "\n"));
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
    write_text(Stream::kOut, tagged(indented));
}

void Reporter::note(const std::string& text) const {
    if (!quiet_) write_text(Stream::kError, tagged(fitted(escaped_controls(text), kNoteIndent, Stream::kError) + "\n"));
}

void Reporter::warning(const std::string& text) const {
    write_text(Stream::kError,
               tagged(fitted("zavctl: Warnung: " + escaped_controls(text), kDetailIndent, Stream::kError) + "\n"));
}

void Reporter::document(const nlohmann::json& value) const {
    if (json_) write_utf8(Stream::kOut, with_schema(with_port(value)).dump(2) + "\n");
}

void Reporter::document_line(const nlohmann::json& value) const {
    if (json_) write_utf8(Stream::kOut, with_schema(with_port(value)).dump() + "\n");
}

bool Reporter::ask(const std::string& text, const std::string& question) const {
    write_text(Stream::kError, tagged(wrapped(escaped_controls(text), kNoteIndent) + "\n") + tag_ + question);
    std::string answer;
    if (!read_answer(answer)) {
        write_text(Stream::kError, "\n");
        return false;
    }
    const size_t begin = answer.find_first_not_of(" \t");
    const size_t end = answer.find_last_not_of(" \t\r");
    answer = begin == std::string::npos ? std::string() : answer.substr(begin, end - begin + 1);
    for (char& c : answer) c = static_cast<char>(c >= 'A' && c <= 'Z' ? c - 'A' + 'a' : c);
    return answer == "j" || answer == "ja";
}

int Reporter::fail(const Outcome& outcome, bool told_in_document) const {
    // The message stays on one line, as the program words it, so that it
    // can be searched for; the explanation is broken to fit a terminal,
    // each of its lines (a lost line, then what it did to the device) on
    // its own.
    std::string text = "zavctl: " + escaped_controls(outcome.message) + "\n";
    size_t begin = 0;
    while (begin < outcome.detail.size()) {
        const size_t end = std::min(outcome.detail.find('\n', begin), outcome.detail.size());
        text += fitted(kDetailIndent + escaped_controls(outcome.detail.substr(begin, end - begin)), kDetailIndent,
                       Stream::kError) +
                "\n";
        begin = end + 1;
    }
    write_text(Stream::kError, tagged(text));
    if (json_ && !told_in_document) {
        nlohmann::json error = {{"exit_code", outcome.exit_code}, {"message", json_text(outcome.message)}};
        if (!outcome.detail.empty()) error["detail"] = json_text(outcome.detail);
        write_utf8(Stream::kOut, with_schema(with_port({{"error", error}})).dump(2) + "\n");
    }
    return outcome.exit_code;
}

}  // namespace zav::cli
