// Windows come and go while the pop-up lists them and while the pointer
// moves on after a click: the switcher never ends with an X error for a
// window that vanished, and whatever row the click lands on, it reads and
// writes only inside its table (the sanitizer build checks every access).
//
// KIT_CHURN_ROUNDS lengthens the run.
#include "switcher_fixture.hpp"

#include <atomic>
#include <cstdlib>
#include <random>
#include <regex>
#include <thread>

using namespace switcher_test;

namespace {

// Framed clients, a hundred at a time, named and marked and gone again at
// once; every few rounds one of the listed clients goes too.
class Churn {
public:
    Churn(const std::string& display, std::vector<Window> victims)
        : victims_(std::move(victims)), thread_([this, display] { run(display); })
    {
    }
    ~Churn()
    {
        stop_ = true;
        thread_.join();
    }

private:
    void run(const std::string& display)
    {
        Display* other = XOpenDisplay(display.c_str());
        const Atom wm_state = XInternAtom(other, "WM_STATE", False);
        const long normal[2] = {NORMAL, None};
        const long iconic[2] = {ICONIC, None};
        for (int round = 0; !stop_; ++round) {
            std::vector<Window> frames;
            for (int i = 0; i < 100; ++i) {
                const Window frame = XCreateSimpleWindow(other, DefaultRootWindow(other), 0, 0,
                                                         20, 20, 0, 0, 0);
                const Window inside = XCreateSimpleWindow(other, frame, 0, 0, 10, 10, 0, 0, 0);
                XStoreName(other, inside, "short-lived");
                XChangeProperty(other, inside, wm_state, wm_state, 32, PropModeReplace,
                                reinterpret_cast<const unsigned char*>(i % 2 ? normal : iconic), 2);
                XMapWindow(other, inside);
                XMapWindow(other, frame);
                frames.push_back(frame);
            }
            XFlush(other);
            for (Window frame : frames) {
                XStoreName(other, frame, "renamed as it goes");
                XDestroyWindow(other, frame);
            }
            if (round % 5 == 4 && !victims_.empty()) {
                XDestroyWindow(other, victims_.back());
                victims_.pop_back();
            }
            XSync(other, False);
        }
        XCloseDisplay(other);
    }

    std::vector<Window> victims_;
    std::atomic<bool> stop_{false};
    std::thread thread_;
};

bool is_row_message(const std::string& text)
{
    return std::regex_match(text, std::regex("raising -?[0-9]+"));
}

}  // namespace

TEST_F(SwitcherTest, windows_coming_and_going_while_it_lists_and_the_pointer_moves_on_never_end_it_with_an_error)
{
    const char* rounds_asked = std::getenv("KIT_CHURN_ROUNDS");  // longer manual runs
    const int rounds = rounds_asked ? std::atoi(rounds_asked) : 8;
    std::mt19937 random(1);
    for (int round = 0; round < rounds; ++round) {
        SCOPED_TRACE("round " + std::to_string(round));
        std::vector<Window> steady;
        for (int i = 0; i < 20; ++i)
            steady.push_back(client("steady " + std::to_string(i)));
        start_switcher(static_cast<int>(random() % 800), static_cast<int>(random() % 500));
        {
            // The steady clients are destroyed by another client, from the
            // top of the list down, while the passes run.
            Churn churn(server().display_name(), steady);
            for (int i = 0; i < 40; ++i)
                send_expose(dpy, popup);
            // The click waits behind the passes asked for above, and the
            // pointer has moved on when it is handled: over the first rows,
            // whose windows may have gone since, or anywhere on screen.
            const auto where = geometry(dpy, popup);
            ASSERT_TRUE(where);
            click_inside(2);  // on the first row, which even an empty list has
            for (int i = 0; i < 20; ++i) {
                if (round % 2 == 0)
                    move_pointer(dpy, where->x + 5, where->y + static_cast<int>(random() % 60));
                else
                    move_pointer(dpy, static_cast<int>(random() % screen_width),
                                 static_cast<int>(random() % screen_height));
            }
            const auto status = exit_status();
            EXPECT_EQ(status, 0);
            EXPECT_TRUE(is_row_message(switcher->stderr_text())) << switcher->stderr_text();
        }
        for (Window window : steady)
            wm->destroy(window);  // those the churn left
        take_x_errors();
    }
}

namespace {

// Tall enough for a pop-up of the whole table and rows past its end.
class TallScreen : public SwitcherTest {
protected:
    ServerOptions server_options() const override { return {.width = 800, .height = 3000}; }
};

}  // namespace

TEST_F(TallScreen, clicks_on_the_last_row_and_past_the_table_raise_only_what_it_lists)
{
    std::vector<Window> listed;
    for (int i = 0; i < 230; ++i)  // the last 31 are left out of the table
        listed.push_back(client("c" + std::to_string(i), NORMAL, 10, 10));
    auto on_top = [&] {
        const auto order = stacking_order(dpy);
        for (auto it = order.rbegin(); it != order.rend(); ++it)
            if (std::find(listed.begin(), listed.end(), *it) != listed.end())
                return *it;
        return Window{None};
    };
    for (int row : {199, 200, 201, 230, 240}) {
        SCOPED_TRACE("row " + std::to_string(row));
        const Window top_before = on_top();
        start_switcher(700, 0);
        ASSERT_TRUE(popup_sized(60, 12 * 199 + 5));
        // Handled once the pointer is on the row: held back by a grab.
        XGrabServer(dpy);
        click_inside(5);
        point_inside(5 + (row - 1) * 12 + 6);
        XUngrabServer(dpy);
        sync(dpy);
        EXPECT_EQ(exit_status(), 0);
        EXPECT_EQ(switcher->stderr_text(), "raising " + std::to_string(row));
        if (row <= 199) {
            EXPECT_TRUE(wait_until([&] { return on_top() == listed[row - 1]; }));
        } else {
            EXPECT_EQ(on_top(), top_before);
        }
    }
}
