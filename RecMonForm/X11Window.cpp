#include "X11Window.h"

#include <xcb/xcb.h>

#include <QGuiApplication>
#include <QWidget>
#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <map>
#include <memory>
#include <string>
#include <string_view>
#include <thread>
#include <vector>

#include "DevicePlacement.h"

namespace recmon {

namespace {

// _NET_WM_STATE client message actions and the source of the request.
constexpr std::uint32_t StateRemove = 0;
constexpr std::uint32_t StateAdd = 1;
constexpr std::uint32_t SourceApplication = 1;

struct TFree {
  void operator()(void* p) const { std::free(p); }
};
template <class T>
using TReply = std::unique_ptr<T, TFree>;

xcb_connection_t* Connection() {
  auto* x11 =
      qGuiApp == nullptr ? nullptr : qGuiApp->nativeInterface<QNativeInterface::QX11Application>();
  return x11 == nullptr ? nullptr : x11->connection();
}

// Atoms never change for the life of the connection; looking one up costs a
// round trip, so each is asked for once.
xcb_atom_t Atom(xcb_connection_t* c, const char* name) {
  static std::map<std::string, xcb_atom_t, std::less<>> known;
  if (const auto it = known.find(std::string_view(name)); it != known.end()) {
    return it->second;
  }
  const TReply<xcb_intern_atom_reply_t> reply(xcb_intern_atom_reply(
      c, xcb_intern_atom(c, 0, static_cast<std::uint16_t>(std::strlen(name)), name), nullptr));
  if (!reply) {
    return XCB_ATOM_NONE;
  }
  known.emplace(name, reply->atom);
  return reply->atom;
}

std::vector<xcb_atom_t> States(xcb_connection_t* c, xcb_window_t w, xcb_atom_t netWmState) {
  const TReply<xcb_get_property_reply_t> reply(xcb_get_property_reply(
      c, xcb_get_property(c, 0, w, netWmState, XCB_ATOM_ATOM, 0, 1024), nullptr));
  if (!reply || reply->format != 32 || reply->type != XCB_ATOM_ATOM) {
    return {};
  }
  const auto* atoms = static_cast<const xcb_atom_t*>(xcb_get_property_value(reply.get()));
  const auto count =
      static_cast<std::size_t>(xcb_get_property_value_length(reply.get())) / sizeof(xcb_atom_t);
  return {atoms, atoms + count};
}

xcb_window_t RootOf(xcb_connection_t* c, xcb_window_t w) {
  const TReply<xcb_get_geometry_reply_t> reply(
      xcb_get_geometry_reply(c, xcb_get_geometry(c, w), nullptr));
  return reply ? reply->root : xcb_window_t{XCB_WINDOW_NONE};
}

// Asks the window manager to change states of a mapped window.
void SendStateChange(xcb_connection_t* c, xcb_window_t w, std::uint32_t action, xcb_atom_t first,
                     xcb_atom_t second) {
  xcb_client_message_event_t event{};
  event.response_type = XCB_CLIENT_MESSAGE;
  event.format = 32;
  event.window = w;
  event.type = Atom(c, "_NET_WM_STATE");
  event.data.data32[0] = action;
  event.data.data32[1] = first;
  event.data.data32[2] = second;
  event.data.data32[3] = SourceApplication;
  xcb_send_event(c, 0, RootOf(c, w),
                 XCB_EVENT_MASK_SUBSTRUCTURE_REDIRECT | XCB_EVENT_MASK_SUBSTRUCTURE_NOTIFY,
                 reinterpret_cast<const char*>(&event));
}

xcb_window_t NativeWindow(QWidget& window) {
  return static_cast<xcb_window_t>(window.winId());
}

std::vector<std::uint32_t> Cardinals(xcb_connection_t* c, xcb_window_t w, xcb_atom_t property) {
  const TReply<xcb_get_property_reply_t> reply(xcb_get_property_reply(
      c, xcb_get_property(c, 0, w, property, XCB_ATOM_CARDINAL, 0, 16), nullptr));
  if (!reply || reply->format != 32 || reply->type != XCB_ATOM_CARDINAL) {
    return {};
  }
  const auto* values = static_cast<const std::uint32_t*>(xcb_get_property_value(reply.get()));
  const auto count =
      static_cast<std::size_t>(xcb_get_property_value_length(reply.get())) / sizeof(std::uint32_t);
  return {values, values + count};
}

// The extents as the window manager gives them, in device pixels: left,
// right, top, bottom.
std::vector<std::uint32_t> DeviceFrameExtents(xcb_connection_t* c, xcb_window_t w) {
  return Cardinals(c, w, Atom(c, "_NET_FRAME_EXTENTS"));
}

// The extents in the window's own (device-independent) pixels: the window
// manager counts device pixels, which differ on a scaled display.
std::optional<QMargins> ReadFrameExtents(xcb_connection_t* c, QWidget& window) {
  // Order in the property: left, right, top, bottom.
  const auto v = DeviceFrameExtents(c, NativeWindow(window));
  if (v.size() != 4) {
    return std::nullopt;
  }
  const qreal ratio = window.devicePixelRatioF() > 0 ? window.devicePixelRatioF() : 1;
  const auto logical = [ratio](std::uint32_t device) {
    return static_cast<int>(std::lround(static_cast<double>(device) / ratio));
  };
  return QMargins(logical(v[0]), logical(v[2]), logical(v[1]), logical(v[3]));
}

bool WindowManagerSupports(xcb_connection_t* c, xcb_window_t root, const char* name) {
  const TReply<xcb_get_property_reply_t> reply(xcb_get_property_reply(
      c, xcb_get_property(c, 0, root, Atom(c, "_NET_SUPPORTED"), XCB_ATOM_ATOM, 0, 4096), nullptr));
  if (!reply || reply->format != 32) {
    return false;
  }
  const auto* atoms = static_cast<const xcb_atom_t*>(xcb_get_property_value(reply.get()));
  const auto count =
      static_cast<std::size_t>(xcb_get_property_value_length(reply.get())) / sizeof(xcb_atom_t);
  const xcb_atom_t wanted = Atom(c, name);
  return std::find(atoms, atoms + count, wanted) != atoms + count;
}

}  // namespace

bool XServerAnswers() {
  xcb_connection_t* c = xcb_connect(nullptr, nullptr);
  const bool answers = xcb_connection_has_error(c) == 0;
  xcb_disconnect(c);
  return answers;
}

bool SetSkipTaskbar(QWidget& window, bool skip) {
  xcb_connection_t* c = Connection();
  if (c == nullptr) {
    return false;
  }
  const xcb_window_t w = NativeWindow(window);
  const xcb_atom_t netWmState = Atom(c, "_NET_WM_STATE");
  const xcb_atom_t skipTaskbar = Atom(c, "_NET_WM_STATE_SKIP_TASKBAR");
  const xcb_atom_t skipPager = Atom(c, "_NET_WM_STATE_SKIP_PAGER");
  if (window.isVisible()) {
    SendStateChange(c, w, skip ? StateAdd : StateRemove, skipTaskbar, skipPager);
  } else if (skip) {
    // Before mapping the client owns the property; Qt merges its own states
    // into what it finds there when it maps the window.
    const auto present = States(c, w, netWmState);
    for (const xcb_atom_t atom : {skipTaskbar, skipPager}) {
      if (std::find(present.begin(), present.end(), atom) == present.end()) {
        xcb_change_property(c, XCB_PROP_MODE_APPEND, w, netWmState, XCB_ATOM_ATOM, 32, 1, &atom);
      }
    }
  }
  xcb_flush(c);
  return true;
}

bool SetStaysOnTop(QWidget& window, bool onTop) {
  xcb_connection_t* c = Connection();
  if (c == nullptr || !window.isVisible()) {
    return false;
  }
  // Qt sets the old KDE state beside the EWMH one; both must go.
  SendStateChange(c, NativeWindow(window), onTop ? StateAdd : StateRemove,
                  Atom(c, "_NET_WM_STATE_ABOVE"), Atom(c, "_NET_WM_STATE_STAYS_ON_TOP"));
  xcb_flush(c);
  return true;
}

std::optional<QMargins> FrameExtents(QWidget& window) {
  xcb_connection_t* c = Connection();
  if (c == nullptr) {
    return std::nullopt;
  }
  return ReadFrameExtents(c, window);
}

bool AskFrameExtents(QWidget& window) {
  xcb_connection_t* c = Connection();
  if (c == nullptr) {
    return false;
  }
  const xcb_window_t w = NativeWindow(window);
  const xcb_window_t root = RootOf(c, w);
  if (!WindowManagerSupports(c, root, "_NET_REQUEST_FRAME_EXTENTS")) {
    return false;
  }
  xcb_client_message_event_t event{};
  event.response_type = XCB_CLIENT_MESSAGE;
  event.format = 32;
  event.window = w;
  event.type = Atom(c, "_NET_REQUEST_FRAME_EXTENTS");
  xcb_send_event(c, 0, root,
                 XCB_EVENT_MASK_SUBSTRUCTURE_REDIRECT | XCB_EVENT_MASK_SUBSTRUCTURE_NOTIFY,
                 reinterpret_cast<const char*>(&event));
  xcb_flush(c);
  return true;
}

std::optional<QMargins> AwaitFrameExtents(QWidget& window, std::chrono::milliseconds timeout) {
  constexpr std::chrono::milliseconds PollInterval{1};
  xcb_connection_t* c = Connection();
  if (c == nullptr) {
    return std::nullopt;
  }
  // The window manager is another process; each read below is a round trip
  // to the server, so the answer shows up without running our event loop.
  const auto deadline = std::chrono::steady_clock::now() + timeout;
  for (;;) {
    if (auto extents = ReadFrameExtents(c, window)) {
      return extents;
    }
    if (std::chrono::steady_clock::now() >= deadline) {
      return std::nullopt;
    }
    std::this_thread::sleep_for(PollInterval);
  }
}

bool AlignOuterCorner(QWidget& window, QPoint outerCorner, const QRect& logicalWorkArea) {
  xcb_connection_t* c = Connection();
  if (c == nullptr || window.devicePixelRatioF() == 1.0) {
    return false;
  }
  const xcb_window_t w = NativeWindow(window);
  const TReply<xcb_get_geometry_reply_t> client(
      xcb_get_geometry_reply(c, xcb_get_geometry(c, w), nullptr));
  if (!client) {
    return false;
  }
  const xcb_window_t root = client->root;
  // The work area of the first desktop, which Qt's available geometry of the
  // screen is made from; the whole root window without one.
  auto area = Cardinals(c, root, Atom(c, "_NET_WORKAREA"));
  if (area.size() < 4) {
    const TReply<xcb_get_geometry_reply_t> rootGeometry(
        xcb_get_geometry_reply(c, xcb_get_geometry(c, root), nullptr));
    if (!rootGeometry) {
      return false;
    }
    area = {0, 0, rootGeometry->width, rootGeometry->height};
  }
  const auto frame = DeviceFrameExtents(c, w);
  const int frameRight = frame.size() == 4 ? static_cast<int>(frame[1]) : 0;
  const int frameBottom = frame.size() == 4 ? static_cast<int>(frame[3]) : 0;
  const auto device = [](std::uint32_t v) { return static_cast<int>(v); };
  const TAxisSpan xSpan{logicalWorkArea.left(), logicalWorkArea.width(), device(area[0]),
                        device(area[2])};
  const TAxisSpan ySpan{logicalWorkArea.top(), logicalWorkArea.height(), device(area[1]),
                        device(area[3])};
  const int x = DeviceClientStart(outerCorner.x(), xSpan, frameRight, client->width);
  const int y = DeviceClientStart(outerCorner.y(), ySpan, frameBottom, client->height);
  // Where the client is now, on the root window, past the frame.
  const TReply<xcb_translate_coordinates_reply_t> now(
      xcb_translate_coordinates_reply(c, xcb_translate_coordinates(c, w, root, 0, 0), nullptr));
  if (now && now->dst_x == x && now->dst_y == y) {
    return true;
  }
  // Qt asks for static gravity: the position is that of the client itself.
  const std::uint32_t position[] = {static_cast<std::uint32_t>(x), static_cast<std::uint32_t>(y)};
  xcb_configure_window(c, w, XCB_CONFIG_WINDOW_X | XCB_CONFIG_WINDOW_Y, position);
  xcb_flush(c);
  return true;
}

}  // namespace recmon
