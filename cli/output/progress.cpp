#include "cli/output/progress.h"

#include "cli/platform/console.h"

namespace zav::cli {

namespace {

constexpr int kBarWidth = 30;
constexpr size_t kLabelWidth = 14;

}  // namespace

void ProgressBar::start(const std::string& label, int total) {
    label_ = label;
    total_ = total > 0 ? total : 1;
    done_ = 0;
    draw();
}

void ProgressBar::update(int done) {
    if (done < 0) done = 0;
    if (done > total_) done = total_;
    if (done == done_ && drawn_) return;
    done_ = done;
    draw();
}

void ProgressBar::draw() {
    if (!shown_) return;
    std::string line = "\r" + label_;
    if (line.size() < kLabelWidth + 1) line.append(kLabelWidth + 1 - line.size(), ' ');
    const int filled = done_ * kBarWidth / total_;
    line += " [";
    line.append(static_cast<size_t>(filled), '#');
    line.append(static_cast<size_t>(kBarWidth - filled), '.');
    line += "] " + std::to_string(done_) + "/" + std::to_string(total_);
    write_text(Stream::kError, line);
    drawn_ = true;
}

void ProgressBar::clear() {
    if (!shown_ || !drawn_) return;
    write_text(Stream::kError, "\r" + std::string(kLabelWidth + kBarWidth + 16, ' ') + "\r");
    drawn_ = false;
}

}  // namespace zav::cli
