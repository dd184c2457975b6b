#include "platform/linux/x11_monitors.h"

#include "platform/linux/xcb_reply.h"

#include <xcb/randr.h>
#include <xcb/xcb.h>

#include <cstdlib>
#include <memory>

namespace twk {
namespace {

std::string atomName(xcb_connection_t* c, xcb_atom_t atom)
{
    Reply<xcb_get_atom_name_reply_t> reply(xcb_get_atom_name_reply(c, xcb_get_atom_name(c, atom), nullptr));
    if (!reply) return {};
    return {xcb_get_atom_name_name(reply.get()), static_cast<size_t>(xcb_get_atom_name_name_length(reply.get()))};
}

std::vector<DisplayInfo> wholeScreen(xcb_connection_t* c, uint32_t root)
{
    Reply<xcb_get_geometry_reply_t> geometry(xcb_get_geometry_reply(c, xcb_get_geometry(c, root), nullptr));
    if (!geometry) return {};
    return {{"screen", {0, 0, static_cast<double>(geometry->width), static_cast<double>(geometry->height)}, 1}};
}

} // namespace

std::vector<DisplayInfo> x11Monitors(xcb_connection_t* c, uint32_t root)
{
    const xcb_query_extension_reply_t* randr = xcb_get_extension_data(c, &xcb_randr_id);
    if (randr == nullptr || randr->present == 0) return wholeScreen(c, root);
    Reply<xcb_randr_query_version_reply_t> version(
        xcb_randr_query_version_reply(c, xcb_randr_query_version(c, 1, 5), nullptr));
    if (!version || version->major_version < 1 || (version->major_version == 1 && version->minor_version < 5))
        return wholeScreen(c, root);
    Reply<xcb_randr_get_monitors_reply_t> monitors(
        xcb_randr_get_monitors_reply(c, xcb_randr_get_monitors(c, root, 1), nullptr));
    if (!monitors || monitors->nMonitors == 0) return wholeScreen(c, root);

    std::vector<DisplayInfo> displays;
    for (auto it = xcb_randr_get_monitors_monitors_iterator(monitors.get()); it.rem > 0;
         xcb_randr_monitor_info_next(&it)) {
        const xcb_randr_monitor_info_t& m = *it.data;
        if (m.width == 0 || m.height == 0) continue;
        DisplayInfo display{atomName(c, m.name),
                            {static_cast<double>(m.x), static_cast<double>(m.y), static_cast<double>(m.width),
                             static_cast<double>(m.height)},
                            1};
        if (m.primary != 0)
            displays.insert(displays.begin(), std::move(display));
        else
            displays.push_back(std::move(display));
    }
    return displays.empty() ? wholeScreen(c, root) : displays;
}

} // namespace twk
