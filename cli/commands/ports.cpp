// zavctl ports: the serial ports of this computer, with the adapter's name
// where the system knows it, and below it what the adapter is: its USB
// ids, interface, serial number and driver, and known trouble.
#include <algorithm>

#include "cli/app/command.h"
#include "cli/output/reporter.h"
#include "cli/platform/adapter_warning.h"
#include "cli/platform/console.h"
#include "cli/platform/port_list.h"
#include "fleet/base/text_wrap.h"

namespace zav::cli {

namespace {

// What a port that is no USB adapter is, where the system has no name.
std::string kind_text(const std::string& kind) {
    if (kind == "builtin") return "eingebaute serielle Schnittstelle";
    if (kind == "pci") return "serielle Schnittstelle auf einer Steckkarte";
    if (kind == "bluetooth") return "Bluetooth";
    if (kind == "virtual") return "virtueller Port";
    return "";
}

bool names(const std::string& text, const std::string& part) {
    return !part.empty() && text.find(part) != std::string::npos;
}

// "USB 0403:6010, Schnittstelle 1, Seriennummer FT1234, Treiber ftdi_sio":
// what the first line does not say already. The system's words come as
// names do (shown_name), the tool's as its texts.
std::string details(const PortInfo& port, const std::string& first_line_text) {
    std::vector<std::string> parts;
    if (!port.vendor_id.empty()) parts.push_back("USB " + shown_name(port.vendor_id + ":" + port.product_id));
    if (port.kind != "usb" && !names(first_line_text, kind_text(port.kind))) parts.push_back(kind_text(port.kind));
    if (port.several_interfaces && port.interface_number >= 0) {
        parts.push_back("Schnittstelle " + std::to_string(port.interface_number));
    }
    if (!names(first_line_text, port.manufacturer) && !port.manufacturer.empty()) {
        parts.push_back("Hersteller " + shown_name(port.manufacturer));
    }
    if (!names(first_line_text, port.product) && !port.product.empty()) {
        parts.push_back("Produkt " + shown_name(port.product));
    }
    if (!port.serial.empty()) parts.push_back("Seriennummer " + shown_name(port.serial));
    if (!port.driver.empty()) parts.push_back("Treiber " + shown_name(port.driver));
    std::string text;
    for (const std::string& part : parts) {
        if (!part.empty()) text += (text.empty() ? "" : ", ") + part;
    }
    return text;
}

nlohmann::json text_or_null(const std::string& text) {
    return text.empty() ? nlohmann::json() : nlohmann::json(json_name(text));
}

nlohmann::json port_json(const PortInfo& port, const std::string& warning) {
    nlohmann::json usb;
    if (port.kind == "usb") {
        usb = {{"vendor_id", text_or_null(port.vendor_id)},
               {"product_id", text_or_null(port.product_id)},
               {"manufacturer", text_or_null(port.manufacturer)},
               {"product", text_or_null(port.product)},
               {"serial", text_or_null(port.serial)},
               {"interface", port.interface_number >= 0 ? nlohmann::json(port.interface_number) : nlohmann::json()}};
    }
    return {{"name", json_name(port.name)},
            {"description", json_name(port.description)},
            {"stable_name", json_name(port.stable_name)},
            {"kind", text_or_null(port.kind)},
            {"driver", text_or_null(port.driver)},
            {"usb", usb},
            {"problem_code", port.problem_code != 0 ? nlohmann::json(port.problem_code) : nlohmann::json()},
            {"warning", warning.empty() ? nlohmann::json() : json_text(warning)}};
}

class PortsCommand final : public Command {
public:
    const char* name() const override { return "ports"; }
    const char* overview() const override {
        return "  ports                    die seriellen Ports, jeder mit seinem Adapter\n"
               "    zavctl ports\n";
    }
    const char* help() const override {
        return "Aufruf: zavctl ports [--json]\n"
               "\n"
               "Listet die seriellen Ports dieses Rechners, mit dem Namen des Adapters, wo das\n"
               "System ihn kennt, und unter Linux dem festen Namen unter /dev/serial/by-id.\n"
               "Darunter steht, was der Adapter ist: bei USB seine Kennungen (Hersteller- und\n"
               "Produktnummer), Hersteller und Produkt, Seriennummer und Treiber, bei einem\n"
               "Doppeladapter die Schnittstelle, die seine zwei Ports unterscheidet; ein Port,\n"
               "der kein USB-Adapter ist, sagt, was er ist (eingebaut, Steckkarte). Bekannte\n"
               "Probleme eines Adapters stehen nur da, wo sie sicher sind: eine Kennung, die\n"
               "FTDIs Treiber nachgemachten Chips gibt, ein Problem-Code von Windows.\n"
               "\n"
               "Beispiel:\n"
               "  zavctl ports\n";
    }
    void add_to(CLI::App&) override {}
    int run(const CommonOptions& common) override;
};

int PortsCommand::run(const CommonOptions& common) {
    const Reporter reporter(common.json, common.quiet);
    const std::vector<PortInfo> ports = list_serial_ports();

    size_t width = 0;
    for (const PortInfo& port : ports) width = std::max(width, port.name.size());
    const std::string column(width + 2, ' ');
    nlohmann::json ports_json = nlohmann::json::array();
    for (const PortInfo& port : ports) {
        const std::string description = !port.description.empty() ? port.description : kind_text(port.kind);
        std::string line = shown_name(port.name);
        if (!description.empty() || !port.stable_name.empty()) line.append(width + 2 - port.name.size(), ' ');
        line += shown_name(description);
        if (!port.stable_name.empty()) {
            const std::string stable = shown_name(port.stable_name);
            // The stable name (/dev/serial/by-id/...) is long: below, in the
            // description's column, when the line would pass 80 columns.
            if (description.empty()) {
                line += stable;
            } else if (line.size() + 2 + stable.size() <= kTextColumns) {
                line += "  " + stable;
            } else {
                reporter.line(line);
                line = column + stable;
            }
        }
        reporter.line(line);
        const std::string more = details(port, description);
        if (!more.empty()) reporter.paragraph(column + more, column);
        const std::string warning = adapter_warning(port);
        if (!warning.empty()) reporter.paragraph(column + "Achtung: " + warning, column);
        ports_json.push_back(port_json(port, warning));
    }
    if (ports.empty()) reporter.line("Keine seriellen Ports gefunden.");
    reporter.document({{"ports", ports_json}});
    return kExitOk;
}

}  // namespace

std::unique_ptr<Command> make_ports_command() { return std::make_unique<PortsCommand>(); }

}  // namespace zav::cli
