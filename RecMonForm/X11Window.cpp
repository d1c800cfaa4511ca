#include "X11Window.h"

#include <fcntl.h>
#include <unistd.h>
#include <xcb/randr.h>
#include <xcb/xcb.h>

#include <QAbstractNativeEventFilter>
#include <QCoreApplication>
#include <QScreen>

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
#include "MonitorArea.h"

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

// A property of 32-bit values of the given type; empty when it is missing or
// of another type. longest counts 32-bit values.
std::vector<std::uint32_t> Property32(xcb_connection_t* c, xcb_window_t w, xcb_atom_t property,
                                      xcb_atom_t type, std::uint32_t longest = 64) {
  const TReply<xcb_get_property_reply_t> reply(
      xcb_get_property_reply(c, xcb_get_property(c, 0, w, property, type, 0, longest), nullptr));
  if (!reply || reply->format != 32 || reply->type != type) {
    return {};
  }
  const auto* values = static_cast<const std::uint32_t*>(xcb_get_property_value(reply.get()));
  const auto count =
      static_cast<std::size_t>(xcb_get_property_value_length(reply.get())) / sizeof(std::uint32_t);
  return {values, values + count};
}

std::vector<std::uint32_t> Cardinals(xcb_connection_t* c, xcb_window_t w, xcb_atom_t property) {
  return Property32(c, w, property, XCB_ATOM_CARDINAL);
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
  // libxcb writes the server's reason for turning a connection down to
  // stderr; the monitor says in one line of its own what it could not use.
  const int savedErrors = ::dup(STDERR_FILENO);
  const int discard = ::open("/dev/null", O_WRONLY | O_CLOEXEC);
  if (savedErrors >= 0 && discard >= 0) {
    ::dup2(discard, STDERR_FILENO);
  }
  xcb_connection_t* c = xcb_connect(nullptr, nullptr);
  const bool answers = xcb_connection_has_error(c) == 0;
  xcb_disconnect(c);
  if (savedErrors >= 0 && discard >= 0) {
    ::dup2(savedErrors, STDERR_FILENO);
  }
  for (const int fd : {savedErrors, discard}) {
    if (fd >= 0) {
      ::close(fd);
    }
  }
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

bool AlignOuterCorner(QWidget& window, QPoint outerCorner, const QRect& logicalWorkArea,
                      const QRect& deviceWorkArea) {
  xcb_connection_t* c = Connection();
  if (c == nullptr || window.devicePixelRatioF() == 1.0 || deviceWorkArea.isEmpty()) {
    return false;
  }
  const xcb_window_t w = NativeWindow(window);
  const TReply<xcb_get_geometry_reply_t> client(
      xcb_get_geometry_reply(c, xcb_get_geometry(c, w), nullptr));
  if (!client) {
    return false;
  }
  const xcb_window_t root = client->root;
  const auto frame = DeviceFrameExtents(c, w);
  const int frameRight = frame.size() == 4 ? static_cast<int>(frame[1]) : 0;
  const int frameBottom = frame.size() == 4 ? static_cast<int>(frame[3]) : 0;
  const TAxisSpan xSpan{logicalWorkArea.left(), logicalWorkArea.width(), deviceWorkArea.left(),
                        deviceWorkArea.width()};
  const TAxisSpan ySpan{logicalWorkArea.top(), logicalWorkArea.height(), deviceWorkArea.top(),
                        deviceWorkArea.height()};
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

namespace {

struct TMonitor {
  TArea Area;
  bool Primary = false;
};

// What the usable areas are worked out from, read from the server when
// something it depends on has changed (TDesktopWatch) and kept until then:
// reading every panel's reservation on each refresh would cost a round trip
// per window five times a second.
struct TDesktopState {
  bool Stale = true;
  std::vector<TMonitor> Monitors;
  TArea Desktop;
  std::vector<TStrut> Struts;
  std::optional<TArea> WorkArea;
  std::vector<TArea> OwnWindows;

  std::vector<TArea> MonitorAreas;

  TDesktopLayout Layout() const { return {Desktop, Struts, WorkArea, OwnWindows, MonitorAreas}; }
};

// Marks the state stale on the events that announce a change: the window
// manager rewrites the work area whenever a panel's reservation changes, and
// RandR reports changed monitors. Qt reads the events; a native filter sees
// each one first.
class TDesktopWatch final : public QAbstractNativeEventFilter {
 public:
  explicit TDesktopWatch(TDesktopState& state) : State_(state) {}

  void Watch(xcb_connection_t* c, xcb_window_t root) {
    Root_ = root;
    Atoms_ = {Atom(c, "_NET_WORKAREA"), Atom(c, "_NET_CLIENT_LIST"),
              Atom(c, "_NET_CURRENT_DESKTOP"), Atom(c, "_NET_DESKTOP_GEOMETRY")};
    const xcb_query_extension_reply_t* randr = xcb_get_extension_data(c, &xcb_randr_id);
    RandrFirstEvent_ = randr != nullptr && randr->present != 0 ? randr->first_event : 0;
  }

  bool nativeEventFilter(const QByteArray& /*type*/, void* message, qintptr* /*result*/) override {
    const auto* event = static_cast<const xcb_generic_event_t*>(message);
    // The top bit marks events sent by another client.
    const auto type = static_cast<unsigned>(event->response_type & 0x7FU);
    if (type == XCB_PROPERTY_NOTIFY) {
      const auto* change = static_cast<const xcb_property_notify_event_t*>(message);
      if (change->window == Root_ &&
          std::find(Atoms_.begin(), Atoms_.end(), change->atom) != Atoms_.end()) {
        State_.Stale = true;
      }
    } else if (RandrFirstEvent_ != 0 &&
               (type == RandrFirstEvent_ + unsigned{XCB_RANDR_SCREEN_CHANGE_NOTIFY} ||
                type == RandrFirstEvent_ + unsigned{XCB_RANDR_NOTIFY})) {
      State_.Stale = true;
    }
    return false;
  }

 private:
  TDesktopState& State_;
  xcb_window_t Root_ = XCB_WINDOW_NONE;
  std::vector<xcb_atom_t> Atoms_;
  unsigned RandrFirstEvent_ = 0;
};

TArea ToArea(std::int32_t x, std::int32_t y, std::uint32_t width, std::uint32_t height) {
  return {static_cast<int>(x), static_cast<int>(y), static_cast<int>(width),
          static_cast<int>(height)};
}

std::vector<TMonitor> ReadMonitors(xcb_connection_t* c, xcb_window_t root) {
  const TReply<xcb_randr_get_monitors_reply_t> reply(
      xcb_randr_get_monitors_reply(c, xcb_randr_get_monitors(c, root, 1), nullptr));
  std::vector<TMonitor> monitors;
  if (!reply) {
    return monitors;
  }
  for (auto it = xcb_randr_get_monitors_monitors_iterator(reply.get()); it.rem != 0;
       xcb_randr_monitor_info_next(&it)) {
    monitors.push_back(
        {ToArea(it.data->x, it.data->y, it.data->width, it.data->height), it.data->primary != 0});
  }
  return monitors;
}

// The reservations of every client: all requests first, then the answers,
// so that the server is waited for once rather than once per window.
std::vector<TStrut> ReadStruts(xcb_connection_t* c, xcb_window_t root, const TArea& desktop) {
  const auto clients = Property32(c, root, Atom(c, "_NET_CLIENT_LIST"), XCB_ATOM_WINDOW, 4096);
  const xcb_atom_t partialAtom = Atom(c, "_NET_WM_STRUT_PARTIAL");
  const xcb_atom_t plainAtom = Atom(c, "_NET_WM_STRUT");
  std::vector<std::pair<xcb_get_property_cookie_t, xcb_get_property_cookie_t>> cookies;
  cookies.reserve(clients.size());
  for (const std::uint32_t client : clients) {
    cookies.emplace_back(xcb_get_property(c, 0, client, partialAtom, XCB_ATOM_CARDINAL, 0, 12),
                         xcb_get_property(c, 0, client, plainAtom, XCB_ATOM_CARDINAL, 0, 4));
  }
  const auto values = [c](xcb_get_property_cookie_t cookie) {
    const TReply<xcb_get_property_reply_t> reply(xcb_get_property_reply(c, cookie, nullptr));
    if (!reply || reply->format != 32 || reply->type != XCB_ATOM_CARDINAL) {
      return std::vector<std::uint32_t>{};
    }
    const auto* data = static_cast<const std::uint32_t*>(xcb_get_property_value(reply.get()));
    return std::vector<std::uint32_t>(
        data, data + static_cast<std::size_t>(xcb_get_property_value_length(reply.get())) /
                         sizeof(std::uint32_t));
  };
  std::vector<TStrut> struts;
  for (const auto& [partial, plain] : cookies) {
    // Both answers are collected, whichever is used.
    const auto partialValues = values(partial);
    const auto plainValues = values(plain);
    const auto strut = StrutFrom(partialValues.empty() ? plainValues : partialValues, desktop);
    if (strut) {
      struts.push_back(*strut);
    }
  }
  return struts;
}

// The window manager's work area for the current desktop.
std::optional<TArea> ReadWorkArea(xcb_connection_t* c, xcb_window_t root) {
  const auto current = Cardinals(c, root, Atom(c, "_NET_CURRENT_DESKTOP"));
  const std::size_t desktop = current.empty() ? 0 : current.front();
  const auto areas = Property32(c, root, Atom(c, "_NET_WORKAREA"), XCB_ATOM_CARDINAL, 4096);
  if (areas.size() < 4 * (desktop + 1)) {
    return std::nullopt;
  }
  const auto* area = &areas[4 * desktop];
  return ToArea(static_cast<std::int32_t>(area[0]), static_cast<std::int32_t>(area[1]), area[2],
                area[3]);
}

// The top-level window that holds w: the frame the window manager put it
// in, or w itself.
xcb_window_t TopLevelOf(xcb_connection_t* c, xcb_window_t w) {
  for (;;) {
    const TReply<xcb_query_tree_reply_t> tree(
        xcb_query_tree_reply(c, xcb_query_tree(c, w), nullptr));
    if (!tree || tree->parent == XCB_WINDOW_NONE || tree->parent == tree->root) {
      return w;
    }
    w = tree->parent;
  }
}

// Where the mapped top-level windows are, border included, but for skip
// (the monitor's own).
std::vector<TArea> ReadTopLevels(xcb_connection_t* c, xcb_window_t root, xcb_window_t skip) {
  const TReply<xcb_query_tree_reply_t> tree(
      xcb_query_tree_reply(c, xcb_query_tree(c, root), nullptr));
  std::vector<TArea> areas;
  if (!tree) {
    return areas;
  }
  const xcb_window_t* children = xcb_query_tree_children(tree.get());
  const auto count = static_cast<std::size_t>(xcb_query_tree_children_length(tree.get()));
  std::vector<std::pair<xcb_get_window_attributes_cookie_t, xcb_get_geometry_cookie_t>> cookies;
  cookies.reserve(count);
  for (std::size_t i = 0; i < count; ++i) {
    if (children[i] != skip) {
      cookies.emplace_back(xcb_get_window_attributes(c, children[i]),
                           xcb_get_geometry(c, children[i]));
    }
  }
  for (const auto& [attributesCookie, geometryCookie] : cookies) {
    const TReply<xcb_get_window_attributes_reply_t> attributes(
        xcb_get_window_attributes_reply(c, attributesCookie, nullptr));
    const TReply<xcb_get_geometry_reply_t> geometry(
        xcb_get_geometry_reply(c, geometryCookie, nullptr));
    if (attributes && geometry && attributes->map_state == XCB_MAP_STATE_VIEWABLE) {
      const int border = 2 * geometry->border_width;
      areas.push_back(
          ToArea(geometry->x, geometry->y, geometry->width + border, geometry->height + border));
    }
  }
  return areas;
}

void ReadDesktop(xcb_connection_t* c, xcb_window_t root, xcb_window_t ownFrame,
                 TDesktopState& state) {
  const TReply<xcb_get_geometry_reply_t> rootGeometry(
      xcb_get_geometry_reply(c, xcb_get_geometry(c, root), nullptr));
  state.Desktop = rootGeometry ? ToArea(0, 0, rootGeometry->width, rootGeometry->height) : TArea{};
  state.Monitors = ReadMonitors(c, root);
  state.MonitorAreas.clear();
  for (const TMonitor& monitor : state.Monitors) {
    state.MonitorAreas.push_back(monitor.Area);
  }
  state.Struts = ReadStruts(c, root, state.Desktop);
  state.WorkArea = ReadWorkArea(c, root);
  state.OwnWindows.clear();
  // Only needed to tell on which monitor a window manager's own panel is.
  if (state.Monitors.size() > 1 && WindowManagerReserves(state.Layout())) {
    state.OwnWindows = ReadTopLevels(c, root, ownFrame);
  }
  state.Stale = false;
}

}  // namespace

std::optional<QRect> DeviceUsableArea(QWidget& window, const QScreen& screen) {
  static TDesktopState state;
  static TDesktopWatch watch(state);
  static QCoreApplication* watching = nullptr;
  xcb_connection_t* c = Connection();
  if (c == nullptr) {
    return std::nullopt;
  }
  if (watching != QCoreApplication::instance()) {
    watching = QCoreApplication::instance();
    watch.Watch(c, RootOf(c, NativeWindow(window)));
    watching->installNativeEventFilter(&watch);
    state.Stale = true;
  }
  if (state.Stale) {
    const xcb_window_t own = NativeWindow(window);
    ReadDesktop(c, RootOf(c, own), TopLevelOf(c, own), state);
  }
  // Qt keeps a screen's origin in device pixels; its size is scaled.
  const QPoint origin = screen.geometry().topLeft();
  const qreal ratio = screen.devicePixelRatio();
  TArea monitor{origin.x(), origin.y(),
                static_cast<int>(std::lround(screen.geometry().width() * ratio)),
                static_cast<int>(std::lround(screen.geometry().height() * ratio))};
  const auto found = std::find_if(
      state.Monitors.begin(), state.Monitors.end(),
      [&](const TMonitor& m) { return m.Area.Left == origin.x() && m.Area.Top == origin.y(); });
  if (found != state.Monitors.end()) {
    monitor = found->Area;
  }
  const TArea usable = UsableArea(monitor, state.Layout());
  return QRect(usable.Left, usable.Top, usable.Width, usable.Height);
}

}  // namespace recmon
