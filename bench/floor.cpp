// The floor: the least a task bar must do to follow the desktop. It keeps
// the window manager's client list and the title of every listed window,
// and nothing else: no window of its own, no drawing, no desktops. The
// benchmark measures it beside the bars, as the cost no bar can go below.
#include <xcb/xcb.h>

#include <cstdlib>
#include <cstring>
#include <string>
#include <unordered_map>
#include <vector>

namespace {

xcb_connection_t* connection = nullptr;
xcb_window_t root = 0;
xcb_atom_t client_list = 0;
xcb_atom_t net_wm_name = 0;
std::unordered_map<xcb_window_t, std::string> titles;

xcb_atom_t intern(const char* name)
{
    auto cookie = xcb_intern_atom(connection, 0, static_cast<uint16_t>(std::strlen(name)), name);
    auto* reply = xcb_intern_atom_reply(connection, cookie, nullptr);
    const xcb_atom_t atom = reply ? reply->atom : 0;
    std::free(reply);
    return atom;
}

xcb_get_property_cookie_t ask(xcb_window_t window, xcb_atom_t property)
{
    return xcb_get_property(connection, 0, window, property, XCB_GET_PROPERTY_TYPE_ANY, 0, 0x7fffffff);
}

std::string title_from(xcb_get_property_cookie_t cookie)
{
    auto* reply = xcb_get_property_reply(connection, cookie, nullptr);
    std::string title;
    if (reply && reply->format == 8)
        title.assign(static_cast<const char*>(xcb_get_property_value(reply)),
                     static_cast<std::size_t>(xcb_get_property_value_length(reply)));
    std::free(reply);
    return title;
}

// The list read again; new windows' events selected and their titles read,
// all requests sent before the first reply is awaited.
void follow_list()
{
    auto* reply = xcb_get_property_reply(connection, ask(root, client_list), nullptr);
    std::vector<xcb_window_t> listed;
    if (reply && reply->format == 32) {
        const auto* ids = static_cast<const xcb_window_t*>(xcb_get_property_value(reply));
        listed.assign(ids, ids + reply->value_len);
    }
    std::free(reply);

    std::unordered_map<xcb_window_t, std::string> kept;
    std::vector<std::pair<xcb_window_t, xcb_get_property_cookie_t>> asked;
    const uint32_t events = XCB_EVENT_MASK_PROPERTY_CHANGE;
    for (xcb_window_t window : listed) {
        auto known = titles.find(window);
        if (known != titles.end()) {
            kept.emplace(window, std::move(known->second));
            continue;
        }
        xcb_change_window_attributes(connection, window, XCB_CW_EVENT_MASK, &events);
        asked.emplace_back(window, ask(window, net_wm_name));
    }
    for (auto& [window, cookie] : asked)
        kept[window] = title_from(cookie);
    titles = std::move(kept);
}

}  // namespace

int main()
{
    connection = xcb_connect(nullptr, nullptr);
    if (xcb_connection_has_error(connection))
        return 1;
    root = xcb_setup_roots_iterator(xcb_get_setup(connection)).data->root;
    client_list = intern("_NET_CLIENT_LIST");
    net_wm_name = intern("_NET_WM_NAME");
    const uint32_t events = XCB_EVENT_MASK_PROPERTY_CHANGE;
    xcb_change_window_attributes(connection, root, XCB_CW_EVENT_MASK, &events);
    follow_list();
    xcb_flush(connection);

    while (xcb_generic_event_t* event = xcb_wait_for_event(connection)) {
        // Everything queued is one burst: the list is read once for it.
        bool list_changed = false;
        do {
            if ((event->response_type & 0x7f) == XCB_PROPERTY_NOTIFY) {
                const auto* notify = reinterpret_cast<xcb_property_notify_event_t*>(event);
                if (notify->window == root && notify->atom == client_list)
                    list_changed = true;
                else if (notify->atom == net_wm_name && titles.count(notify->window))
                    titles[notify->window] = title_from(ask(notify->window, net_wm_name));
            }
            std::free(event);
        } while ((event = xcb_poll_for_event(connection)));
        if (list_changed)
            follow_list();
        xcb_flush(connection);
    }
    return 0;
}
