// The report: the table printed at the end, and the figures as JSON.
#pragma once

#include "bench.hpp"

std::optional<double> value(const Results& results, const std::string& name, const std::string& key);
// A Markdown table, so that docs/performance.md can take it as it is.
void print_table(const Results& results, const std::vector<Subject>& subjects);
void write_json(const std::string& path, const Settings& s, const Results& results,
                const std::vector<Subject>& subjects, double elapsed);
std::string machine_description();
// The Debian package version of a peer, for the record.
std::string package_version(const std::string& package);
