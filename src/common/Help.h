// Every program's --help, laid out the same plain way: a usage line for
// each way to run it, what it does, its options one to an entry with what
// each is for, and a closing paragraph. help2man reads the same layout into
// the man pages (SYNOPSIS, DESCRIPTION, OPTIONS).
#pragma once

#include <CLI/CLI.hpp>

#include <string>
#include <vector>

// Gives `app` the plain help. `usages` are the ways to run the program, each
// what follows its name on the command line; with none, one line is made of
// the options themselves. The help option's own text is set here too.
void UsePlainHelp(CLI::App& app, const std::vector<std::string>& usages = {});
