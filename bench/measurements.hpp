// The measurements; each file holds one, with its workload.
#pragma once

#include "bench.hpp"

void measure_startup(const Settings& s, const Subject& subject, const std::string& scratch, Results& results);
// Every subject on its own server at once, so one sampling window serves all.
void measure_idle(const Settings& s, const std::vector<Subject>& subjects, const std::string& scratch,
                  Results& results);
void measure_churn(const Settings& s, const Subject& subject, int windows, const std::string& scratch,
                   Results& results);
void measure_traffic(const Settings& s, const Subject& subject, const std::string& scratch, Results& results);
// From a desktop switch to the bar's last drawing; under Openbox when asked.
void measure_switch(const Settings& s, const Subject& subject, int windows, bool openbox,
                    const std::string& scratch, Results& results);
void measure_burst(const Subject& subject, bool openbox, const std::string& scratch, Results& results);
