#include "cli/reporter.h"

#include <algorithm>

#include "cli/console.h"
#include "cli/text_encoding.h"

namespace zav::cli {

bool Reporter::progress_shown() const { return !quiet_ && is_terminal(Stream::kError); }

void Reporter::line(const std::string& text) const {
    if (!json_) write_text(Stream::kOut, text + "\n");
}

void Reporter::block(const std::string& text, const std::string& indent) const {
    if (json_) return;
    std::string indented;
    size_t begin = 0;
    while (begin < text.size()) {
        size_t end = text.find('\n', begin);
        if (end == std::string::npos) end = text.size();
        indented += indent + text.substr(begin, end - begin) + "\n";
        begin = end + 1;
    }
    write_text(Stream::kOut, indented);
}

void Reporter::note(const std::string& text) const {
    if (!quiet_) write_text(Stream::kError, text + "\n");
}

void Reporter::document(const nlohmann::json& value) const {
    if (json_) write_utf8(Stream::kOut, value.dump(2) + "\n");
}

void Reporter::document_line(const nlohmann::json& value) const {
    if (json_) write_utf8(Stream::kOut, value.dump() + "\n");
}

int Reporter::fail(const Outcome& outcome, bool told_in_document) const {
    std::string text = "zavctl: " + outcome.message + "\n";
    // A detail of several lines (a lost line, then what it did to the
    // device) is indented line by line.
    size_t begin = 0;
    while (begin < outcome.detail.size()) {
        const size_t end = std::min(outcome.detail.find('\n', begin), outcome.detail.size());
        text += "        " + outcome.detail.substr(begin, end - begin) + "\n";
        begin = end + 1;
    }
    write_text(Stream::kError, text);
    if (json_ && !told_in_document) {
        nlohmann::json error = {{"exit_code", outcome.exit_code}, {"message", json_text(outcome.message)}};
        if (!outcome.detail.empty()) error["detail"] = json_text(outcome.detail);
        write_utf8(Stream::kOut, nlohmann::json{{"error", error}}.dump(2) + "\n");
    }
    return outcome.exit_code;
}

nlohmann::json json_text(const std::string& text) { return utf8_from_cp1252(text); }

}  // namespace zav::cli
