// One command of zavctl, as an object that carries its own grammar and help:
// its name and one-line summary for "zavctl --help", the arguments and
// options it takes (bound to its own members), the help that
// "zavctl NAME --help" and "zavctl help NAME" print, and what it does.
// main.cpp knows no command by name; it asks each for these.
#pragma once

#include <memory>
#include <vector>

#include <CLI/CLI.hpp>

#include "cli/app/common_options.h"

namespace zav::cli {

class Command {
public:
    virtual ~Command() = default;

    // The word on the command line: "program".
    virtual const char* name() const = 0;

    // Its lines in "zavctl --help": the call ("program DATEI"), what it does
    // and an example, already laid out in the overview's columns.
    virtual const char* overview() const = 0;

    // "zavctl NAME --help": the call, what it does, its own options and an
    // example, in German; the options every command takes are added by main.
    virtual const char* help() const = 0;

    // Adds the command's arguments and options to its subcommand, bound to
    // the command's members.
    virtual void add_to(CLI::App& subcommand) = 0;

    // Whether the command, as the command line asks for it, works on
    // several ports at once (--port repeated: a series); asked once the
    // command line is parsed.
    virtual bool takes_several_ports() const { return false; }

    // Runs the command once the command line is parsed; returns the exit
    // code (fleet/base/outcome.h), having told the user everything by then.
    virtual int run(const CommonOptions& common) = 0;
};

// Every command, in the order "zavctl --help" lists them.
std::vector<std::unique_ptr<Command>> make_commands();

}  // namespace zav::cli
