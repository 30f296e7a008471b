#include "cli/app/trace_option.h"

#include "cli/device/traced_line.h"
#include "cli/platform/console.h"
#include "cli/platform/new_file.h"
#include "cli/platform/output_path.h"
#include "core/config/config_file.h"

namespace zav::cli {

namespace {

class ErrorStreamSink final : public TraceSink {
public:
    bool write(const std::string& utf8, std::string&) override {
        write_utf8(Stream::kError, utf8);
        return true;
    }
};

Outcome cannot_create(const std::string& name, const std::string& why) {
    return failure(kExitFile, kConfigFileCannotCreate, shown_name(name) + ": " + why);
}

}  // namespace

class TraceOption::FileSink final : public TraceSink {
public:
    explicit FileSink(std::unique_ptr<NewFile> file) : file_(std::move(file)) {}
    bool write(const std::string& utf8, std::string& error) override { return file_->write(utf8, error); }
    bool close(std::string& error) { return file_->close(error); }

private:
    std::unique_ptr<NewFile> file_;
};

TraceOption::TraceOption() = default;

TraceOption::~TraceOption() { set_port_trace(nullptr); }

Outcome TraceOption::start(const std::string& name) {
    name_ = name;
    if (name == "-") {
        trace_ = std::make_unique<FrameTrace>(std::make_unique<ErrorStreamSink>());
        set_port_trace(trace_.get());
        return success();
    }
    OutputPathFacts facts;
    std::string error;
    if (!examine_output_path(name, facts, error)) return cannot_create(name, error);
    bool exists = facts.kind != PathKind::kNothing;
    if (facts.kind == PathKind::kFolder) return cannot_create(name, "ist ein Ordner");
    if (facts.kind == PathKind::kOther) return cannot_create(name, "ist " + facts.other_kind + ", keine gewöhnliche Datei");
    if (!exists && !facts.folder_problem.empty()) return cannot_create(name, facts.folder_problem);
    std::unique_ptr<NewFile> file;
    // Through a symbolic link the new file is made as its target.
    if (!exists) file = create_new_file(facts.target, exists, error);
    if (exists) {
        return failure(kExitFile, "Datei existiert bereits: " + shown_name(name),
                       "Eine Spur ersetzt keine Datei: einen neuen Namen angeben.");
    }
    if (!file) return cannot_create(name, error);
    auto sink = std::make_unique<FileSink>(std::move(file));
    file_ = sink.get();
    trace_ = std::make_unique<FrameTrace>(std::move(sink));
    set_port_trace(trace_.get());
    return success();
}

int TraceOption::finish(int exit_code, const Reporter& reporter) {
    if (!trace_) return exit_code;
    set_port_trace(nullptr);
    std::string error = trace_->error();
    std::string closing;
    if (file_ != nullptr && !file_->close(closing) && error.empty()) error = closing;
    file_ = nullptr;
    trace_.reset();
    if (error.empty()) return exit_code;
    reporter.fail(failure(kExitFile, "Die Spur " + shown_name(name_) + " ist nicht vollständig: " + error), true);
    return exit_code == kExitOk ? kExitFile : exit_code;
}

}  // namespace zav::cli
