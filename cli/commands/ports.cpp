// zavctl ports
#include "cli/app/command.h"

namespace zav::cli {

namespace {

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
    int run(const CommonOptions& common) override { return command_ports(common); }
};

}  // namespace

std::unique_ptr<Command> make_ports_command() { return std::make_unique<PortsCommand>(); }

}  // namespace zav::cli
