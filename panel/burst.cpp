#include "burst.hpp"

#include "draw.hpp"
#include "tracking.hpp"

void start_gathering(Panel& panel)
{
    panel.due.gathering = true;
}

void finish_burst(Panel& panel)
{
    if (panel.due.sync) {
        panel.due.sync = false;
        sync_client_list(panel);
    }
    read_due_titles(panel);
    paint_due(panel);
}
