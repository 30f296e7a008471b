// How a command tells its results. Text for people by default; with --json
// exactly one JSON document on standard output (a series: one per line).
// Errors always go to standard error as text too, so that a script that
// reads the JSON and a person who watches see the same failure.
//
// Text passes through here on its way to the terminal: control characters
// (from a file name, an adapter's name, a record) are written escaped;
// notes, warnings and the explanation of a failure are broken to 80
// columns on a terminal (into a file or a pipe each stays on its line),
// and a report's paragraphs wherever they go.
#pragma once

#include <string>

#include <nlohmann/json.hpp>

#include "fleet/base/json_text.h"
#include "fleet/base/outcome.h"

namespace zav::cli {

// The version of the JSON documents (docs/JSON.md), in every one of them as
// "schema". It changes only when a key changes its meaning or goes away.
constexpr int kJsonSchema = 1;

class Reporter {
public:
    Reporter(bool json, bool quiet) : json_(json), quiet_(quiet) {}

    // The same, for one of several ports of a series: each line of text
    // starts with "[tag] " (tag: the port's short name, "ttyUSB1", "COM4")
    // and each JSON line carries "port" (port: the name as given).
    Reporter for_port(const std::string& tag, const std::string& port) const;

    bool json() const { return json_; }
    bool quiet() const { return quiet_; }
    // The progress bar: only for a person at a terminal.
    bool progress_shown() const;

    // A line of the text result (Windows-1252), on standard output; nothing
    // in JSON mode.
    void line(const std::string& text) const;
    // A line of the text result broken to 80 columns at its blanks, the
    // lines after the first starting with indent.
    void paragraph(const std::string& text, const std::string& indent) const;
    // Several lines ending in '\n' (a report), each indented.
    void block(const std::string& text, const std::string& indent = std::string()) const;
    // Something the user should know on the way ("waiting for the next
    // device"), on standard error; nothing with --quiet.
    void note(const std::string& text) const;
    // Something passed over that the user must hear of even with --quiet
    // ("zavctl: Warnung: ..."), on standard error.
    void warning(const std::string& text) const;
    // The JSON document (JSON mode only), indented for reading, with
    // "schema" added; value must be an object.
    void document(const nlohmann::json& value) const;
    // One JSON document on one line (JSON mode only): a series writes one
    // per device, so that a script can follow it as it runs.
    void document_line(const nlohmann::json& value) const;

    // Asks the person at the terminal (answer.h; only where one can be
    // asked): text, then the question, on standard error even with
    // --quiet. True only for "j" or "ja".
    bool ask(const std::string& text, const std::string& question) const;

    // Tells a failure and returns its exit code: its message and detail on
    // standard error and, in JSON mode when no document told it already,
    // {"schema": 1, "error": {...}} on standard output.
    int fail(const Outcome& outcome, bool told_in_document = false) const;

private:
    // Each line of text (lines end in '\n') with the port's tag before it.
    std::string tagged(const std::string& text) const;
    nlohmann::json with_port(const nlohmann::json& value) const;

    bool json_;
    bool quiet_;
    std::string tag_;   // "[ttyUSB1] ", or "" for a single port
    std::string port_;  // the port as given, or "" for a single port
};

}  // namespace zav::cli
