#include "cli/platform/adapter_warning.h"

namespace zav::cli {

namespace {

constexpr const char kFtdi[] = "0403";
constexpr const char kProlific[] = "067b";
constexpr unsigned kDriverNotStarted = 10;  // CM_PROB_FAILED_START

}  // namespace

std::string adapter_warning(const PortInfo& port) {
    // FTDI ships no chip with the product id 0000; its Windows driver of
    // 2014 (2.11.0) wrote it into imitated FT232R chips.
    if (port.vendor_id == kFtdi && port.product_id == "0000") {
        return "Produktkennung 0000: so kennzeichnet FTDIs Treiber nachgemachte FT232R-Chips. Den Adapter "
               "ersetzen.";
    }
    if (port.problem_code == kDriverNotStarted) {
        std::string text = "Windows meldet Code 10: der Treiber hat den Adapter nicht gestartet.";
        // Prolific's drivers refuse the PL2303HXA/XA, which Prolific no
        // longer supports, and imitated chips, with just this code.
        if (port.vendor_id == kProlific) {
            text += " Prolifics Treiber startet ältere (PL2303HXA/XA) und nachgemachte PL2303-Chips nicht.";
        }
        return text;
    }
    if (port.problem_code != 0) {
        return "Windows meldet ein Problem mit dem Adapter (Code " + std::to_string(port.problem_code) +
               ", siehe Geräte-Manager).";
    }
    return "";
}

}  // namespace zav::cli
