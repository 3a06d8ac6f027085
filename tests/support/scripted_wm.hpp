// A window manager stand-in, scripted by the test: it publishes the root
// properties a window manager would, creates client windows with the
// properties the panel reads, and records the client messages sent to the
// root. It is not a real window manager (it never selects
// SubstructureRedirect), so the server's plain behaviour stays in force.
//
// It has its own connection, served by a background thread: recorded
// messages and the optional answers below happen without the test pumping.
// Every public call is thread-safe; setters end with a round trip, so the
// change is on the server when they return. It must go before its server
// does: make it in the test body, or reset it in TearDown before calling
// XServerTest::TearDown (closing a connection to a dead server ends the
// process through Xlib).
#pragma once

// GoogleTest first: Xlib defines None and Bool as macros that break its headers.
#include <gtest/gtest.h>
#include <X11/Xlib.h>

#include <chrono>
#include <condition_variable>
#include <functional>
#include <mutex>
#include <optional>
#include <string>
#include <thread>
#include <utility>
#include <vector>

namespace kit_test {

using namespace std::chrono_literals;

// A text property as raw bytes: several strings are separated by NULs.
struct TextValue {
    std::string bytes;
    std::string type = "STRING";  // or "COMPOUND_TEXT", "UTF8_STRING", any other
    int format = 8;
};
inline TextValue string_text(std::string bytes) { return {std::move(bytes), "STRING", 8}; }
inline TextValue compound_text(std::string bytes) { return {std::move(bytes), "COMPOUND_TEXT", 8}; }

// WM_HINTS, written as the 9 items of the protocol. `flags` defaults to
// IconPixmapHint / IconMaskHint for the pixmaps given (plus InputHint).
struct WmHintsSetup {
    std::optional<long> flags;
    bool input = true;
    Pixmap icon = None;
    Pixmap mask = None;
    long initial_state = 0;
};

struct ClientSetup {
    int x = 100;
    int y = 100;
    int width = 200;
    int height = 100;
    std::optional<TextValue> name;  // WM_NAME; nullopt: absent
    std::optional<WmHintsSetup> wm_hints;
    std::optional<std::pair<Pixmap, Pixmap>> kwm_win_icon;  // icon, mask
    std::optional<long> workspace;  // _WIN_WORKSPACE
    std::optional<long> win_hints;  // _WIN_HINTS
    std::optional<long> wm_state;   // WM_STATE state word: 1 normal, 3 iconic
    bool mapped = true;
};

// One client message that reached the root.
struct RootMessage {
    Window window = None;  // the event's window field
    Atom message_type = None;
    int format = 0;
    long data[5] = {};
    bool send_event = false;
};

class ScriptedWm {
public:
    // Connects to `display_name` (default: this process's DISPLAY).
    explicit ScriptedWm(const std::string& display_name = {});
    ~ScriptedWm();
    ScriptedWm(const ScriptedWm&) = delete;
    ScriptedWm& operator=(const ScriptedWm&) = delete;

    Display* display() const { return dpy_; }  // use only through this class's calls
    Window root() const { return root_; }
    Atom atom(const char* name);

    // ---- Root properties ----
    void set_net_client_list(const std::vector<Window>& windows);  // type WINDOW
    void set_win_client_list(const std::vector<Window>& windows);  // type CARDINAL
    void set_win_workspace(long desktop);
    void set_win_workspace_count(long count);
    void delete_root_property(const char* name);
    // Any type, format and item count, for odd or short data. For format
    // 32 each long is one item; for 8 and 16 the low bytes/halves are used.
    void set_root_property(const char* name, const char* type, int format,
                           const std::vector<long>& data);

    // ---- Clients ----
    Window create_client(const ClientSetup& setup = {});
    void set_name(Window client, const std::optional<TextValue>& name);
    void set_wm_hints(Window client, const std::optional<WmHintsSetup>& hints);
    void set_kwm_win_icon(Window client, const std::optional<std::pair<Pixmap, Pixmap>>& icon);
    void set_workspace(Window client, std::optional<long> desktop);
    void set_win_hints(Window client, std::optional<long> hints);
    void set_wm_state(Window client, std::optional<long> state);
    void set_property(Window window, const char* name, const char* type, int format,
                      const std::vector<long>& data);
    void set_bytes_property(Window window, const char* name, const char* type,
                            const std::string& bytes);
    void delete_property(Window window, const char* name);
    void map(Window client);
    void unmap(Window client);
    void destroy(Window client);

    // ---- Pixmaps (owned by this connection, freed with it) ----
    // A pixmap of `depth` whose pixel (x, y) is `pattern(x, y)`.
    Pixmap create_pixmap(int width, int height, int depth,
                         const std::function<unsigned long(int x, int y)>& pattern);
    Pixmap create_solid_pixmap(int width, int height, int depth, unsigned long pixel);
    // A 1-bit mask; bit (x, y) is `pattern(x, y)`.
    Pixmap create_bitmap(int width, int height, const std::function<bool(int x, int y)>& pattern);
    void free_pixmap(Pixmap pixmap);

    // ---- Messages to the root ----
    std::vector<RootMessage> client_messages();
    void clear_messages();
    // The first recorded message of that type (earlier ones included),
    // waiting up to `timeout` for one to arrive.
    std::optional<RootMessage> wait_for_message(Atom type, std::chrono::milliseconds timeout = 5s);
    std::optional<RootMessage> wait_for_message(const char* type, std::chrono::milliseconds timeout = 5s);

    // ---- Optional behaviours of a real window manager ----
    // WM_CHANGE_STATE with IconicState: unmap the client and set WM_STATE 3.
    void answer_iconify(bool on);
    // _WIN_WORKSPACE message to the root: set the root's _WIN_WORKSPACE.
    void answer_workspace_requests(bool on);

    // Handles every event the server has for this connection now (after a
    // round trip), on the calling thread.
    void pump();

private:
    void serve();
    void handle(const XEvent& event);
    void change(Window window, Atom property, Atom type, int format, const void* data, int items);
    void round_trip();

    Display* dpy_ = nullptr;
    Window root_ = None;
    std::mutex mutex_;
    std::condition_variable message_arrived_;
    std::vector<RootMessage> messages_;
    bool answer_iconify_ = false;
    bool answer_workspace_ = false;
    bool stopping_ = false;
    int wake_pipe_[2] = {-1, -1};
    std::thread thread_;
};

}  // namespace kit_test
