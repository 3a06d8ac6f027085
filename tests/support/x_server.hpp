// A private Xvfb per test: started with -displayfd (never a fixed display
// number) and -nolisten tcp, stopped by its pid.
#pragma once

// GoogleTest first: Xlib defines None and Bool as macros that break its headers.
#include <gtest/gtest.h>
#include <X11/Xlib.h>
#include <sys/types.h>

#include <memory>
#include <string>
#include <vector>

namespace kit_test {

struct ServerOptions {
    int width = 1024;
    int height = 768;
    int depth = 24;
    // Passed as -fp when not empty; "built-ins" leaves only the font "fixed".
    std::string font_path;
    // When not empty, Debian's Xephyr runs nested inside the private Xvfb
    // with these arguments (say {"-resizeable", "-screen", "800x600"}), and
    // the display is Xephyr's. The Xvfb's size must hold Xephyr's window.
    std::vector<std::string> nested_xephyr;
};

class XServer {
public:
    // Starts the server and waits (10 s at most) until it names its display.
    // Throws std::runtime_error, with the server's own output, on failure.
    explicit XServer(ServerOptions options = {});
    ~XServer();
    XServer(const XServer&) = delete;
    XServer& operator=(const XServer&) = delete;

    const std::string& display_name() const { return display_name_; }  // ":N"
    pid_t pid() const { return nested_pid_ > 0 ? nested_pid_ : pid_; }
    const ServerOptions& options() const { return options_; }

    // A new connection to this server; the caller closes it. nullptr on failure.
    Display* open() const;

    // SIGTERM, then SIGKILL when it has not ended within 5 s; reaps it
    // (a nested server first). Idempotent; the destructor calls it.
    void stop();

    // What the server wrote on stdout/stderr so far.
    std::string log() const;

private:
    ServerOptions options_;
    std::string display_name_;
    std::string log_path_;
    pid_t pid_ = -1;
    pid_t nested_pid_ = -1;
};

// An X protocol error seen on any harness connection (the harness installs
// a handler that records instead of exiting).
struct XErrorRecord {
    int error_code;
    int request_code;
    unsigned long resource_id;
};
// Returns and forgets the errors recorded so far.
std::vector<XErrorRecord> take_x_errors();
// Installs the recording error handler (XServerTest does this in SetUp).
void install_recording_error_handler();

// Fixture: one private server per test, a harness connection `dpy` on it,
// and DISPLAY in this process's environment pointing at it, so programs run
// by Program and in-process panel code (connect_display) reach it.
class XServerTest : public ::testing::Test {
protected:
    // Override to change the screen size or the font path.
    virtual ServerOptions server_options() const { return {}; }

    void SetUp() override;
    void TearDown() override;

    XServer& server() { return *server_; }

    std::unique_ptr<XServer> server_;
    Display* dpy = nullptr;
    Window root = None;
    int screen = 0;
    int screen_width = 0;
    int screen_height = 0;
};

}  // namespace kit_test
