// The progress bar on standard error: drawn only when standard error is a
// terminal and --quiet was not given, so that logs and pipes stay clean.
#pragma once

#include <string>

namespace zav::cli {

class ProgressBar {
public:
    explicit ProgressBar(bool shown) : shown_(shown) {}
    ~ProgressBar() { clear(); }
    ProgressBar(const ProgressBar&) = delete;
    ProgressBar& operator=(const ProgressBar&) = delete;

    // A new phase ("Programmieren", "Verifizieren") of total steps.
    void start(const std::string& label, int total);
    void update(int done);
    // Removes the bar, so that the next line starts clean.
    void clear();

private:
    void draw();

    bool shown_;
    bool drawn_ = false;
    std::string label_;
    int total_ = 0;
    int done_ = 0;
};

}  // namespace zav::cli
