// The whole test harness in one include.
#pragma once

#include "input.hpp"
#include "probes.hpp"
#include "program.hpp"
#include "scripted_wm.hpp"
#include "wait.hpp"
#include "x_server.hpp"
