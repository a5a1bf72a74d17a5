// Every program's --help, laid out the same plain way: a usage line for
// each way to run it, what it does, its options one to an entry with what
// each is for, and a closing paragraph. help2man reads the same layout into
// the man pages (SYNOPSIS, DESCRIPTION, OPTIONS).
#pragma once

#include <CLI/CLI.hpp>

#include <functional>
#include <string>
#include <vector>

// Gives `app` the plain help. `usages` are the ways to run the program, each
// what follows its name on the command line; with none, one line is made of
// the options themselves. The help option's own text is set here too.
void UsePlainHelp(CLI::App& app, const std::vector<std::string>& usages = {});

// Parses the command line, then runs `check`, which may throw a
// CLI::ParseError for what the parser cannot see. -1 to go on; 0 after
// --help, --version or an option that ends the program, which the parser has
// answered; 2 after a usage error, its reason recorded (SetError) for the
// program to print with its usage lines.
int ParseCommandLine(CLI::App& app, int argc, char** argv,
                     const std::function<void()>& check = nullptr);
