// The whole test harness in one include. Include it before any Xlib or
// panel header: GoogleTest must come before Xlib's None and Bool macros.
#pragma once

#include "xtest_input.hpp"
#include "tray_probes.hpp"
#include "probes.hpp"
#include "program.hpp"
#include "scripted_wm.hpp"
#include "wait.hpp"
#include "x_server.hpp"
