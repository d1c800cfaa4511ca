// Time to the first window without polling: starts a program ROUNDS times on
// the X display and takes, from fork, the time until the window manager maps
// the program's first managed top-level window (a MapNotify on the root
// window), and the time until that window's every pixel has been drawn at
// least once after the mapping (DamageNotify events on the program's own
// window, not the frame around it). The second figure shows whether work
// moved from before the mapping to after it only delays the picture. Then
// ends the program. Prints "MAPPED PAINTED" in milliseconds per line;
// PAINTED is "nan" when the window was not painted whole within 5 s of its
// mapping. Fails when a program shows no window within 10 s.
//
//   recmon-bench-first-map ROUNDS PROGRAM [ARGS...]

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>
#include <xcb/damage.h>
#include <xcb/xcb.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <optional>
#include <thread>
#include <vector>

namespace {

using TClock = std::chrono::steady_clock;
using TMs = std::chrono::duration<double, std::milli>;

constexpr std::chrono::seconds MapTimeout{10};
constexpr std::chrono::seconds PaintTimeout{5};

struct TFree {
  void operator()(void* p) const { std::free(p); }
};
using TEvent = std::unique_ptr<xcb_generic_event_t, TFree>;

pid_t Start(char** argv) {
  const pid_t pid = ::fork();
  if (pid == 0) {
    const int null = ::open("/dev/null", O_WRONLY);
    ::dup2(null, STDOUT_FILENO);
    ::dup2(null, STDERR_FILENO);
    ::execv(argv[0], argv);
    ::_exit(127);
  }
  return pid;
}

// The next event, or nothing once the deadline has passed.
TEvent NextEvent(xcb_connection_t* c, TClock::time_point deadline) {
  for (;;) {
    if (TEvent event{xcb_poll_for_event(c)}) {
      return event;
    }
    if (xcb_connection_has_error(c) != 0) {
      std::fprintf(stderr, "lost the X display\n");
      std::exit(1);
    }
    const auto left = std::chrono::ceil<std::chrono::milliseconds>(deadline - TClock::now());
    if (left.count() <= 0) {
      return nullptr;
    }
    pollfd fd{xcb_get_file_descriptor(c), POLLIN, 0};
    ::poll(&fd, 1, static_cast<int>(left.count()));
  }
}

// Which pixels of a window have been drawn since it was mapped.
class TCoverage {
 public:
  // True once every pixel of a width × height window has been drawn.
  bool Add(const xcb_rectangle_t& area, int width, int height) {
    if (width != Width_ || height != Height_) {
      Width_ = width;
      Height_ = height;
      Drawn_.assign(static_cast<std::size_t>(width) * static_cast<std::size_t>(height), 0);
      Left_ = Drawn_.size();
    }
    for (int y = std::max<int>(area.y, 0); y < std::min(area.y + area.height, height); ++y) {
      for (int x = std::max<int>(area.x, 0); x < std::min(area.x + area.width, width); ++x) {
        std::uint8_t& pixel = Drawn_[static_cast<std::size_t>(y) * static_cast<std::size_t>(width) +
                                     static_cast<std::size_t>(x)];
        if (pixel == 0) {
          pixel = 1;
          --Left_;
        }
      }
    }
    return Left_ == 0;
  }

 private:
  int Width_ = -1;
  int Height_ = -1;
  std::vector<std::uint8_t> Drawn_;
  std::size_t Left_ = 0;
};

struct TRound {
  std::optional<double> MappedMs;
  std::optional<double> PaintedMs;
};

TRound TimeOneStart(xcb_connection_t* c, xcb_window_t root, std::uint8_t damageEvent, char** argv) {
  std::vector<xcb_damage_damage_t> damages;
  std::optional<xcb_window_t> client;
  bool mapped = false;
  TCoverage coverage;
  TRound round;
  const auto started = TClock::now();
  const pid_t pid = Start(argv);
  auto deadline = started + MapTimeout;
  while (!round.PaintedMs) {
    const TEvent event = NextEvent(c, deadline);
    if (!event) {
      break;  // not mapped, or painted only in part
    }
    const std::uint8_t type = event->response_type & 0x7F;
    if (type == XCB_CREATE_NOTIFY) {
      // Watched from its creation, long before anything can be drawn in it:
      // which of the new top-level windows is the program's own is known
      // only once the window manager takes it into a frame.
      const auto* create = reinterpret_cast<const xcb_create_notify_event_t*>(event.get());
      if (create->parent == root && create->override_redirect == 0) {
        const xcb_damage_damage_t damage = xcb_generate_id(c);
        xcb_damage_create(c, damage, create->window, XCB_DAMAGE_REPORT_LEVEL_RAW_RECTANGLES);
        damages.push_back(damage);
        xcb_flush(c);
      }
    } else if (type == XCB_REPARENT_NOTIFY) {
      const auto* reparent = reinterpret_cast<const xcb_reparent_notify_event_t*>(event.get());
      if (reparent->event == root && reparent->parent != root && !client) {
        client = reparent->window;
      }
    } else if (type == XCB_MAP_NOTIFY && !mapped) {
      const auto* map = reinterpret_cast<const xcb_map_notify_event_t*>(event.get());
      if (map->override_redirect == 0) {
        mapped = true;
        round.MappedMs = TMs(TClock::now() - started).count();
        // A window manager that does not reparent maps the client itself.
        client = client.value_or(map->window);
        deadline = TClock::now() + PaintTimeout;
      }
    } else if (type == damageEvent && mapped) {
      const auto* damage = reinterpret_cast<const xcb_damage_notify_event_t*>(event.get());
      if (client && damage->drawable == *client &&
          coverage.Add(damage->area, damage->geometry.width, damage->geometry.height)) {
        round.PaintedMs = TMs(TClock::now() - started).count();
      }
    }
  }
  ::kill(pid, SIGTERM);
  ::waitpid(pid, nullptr, 0);
  for (const xcb_damage_damage_t damage : damages) {
    xcb_damage_destroy(c, damage);
  }
  xcb_flush(c);
  std::this_thread::sleep_for(std::chrono::milliseconds(200));
  // Whatever the ended program's windows still reported belongs to it.
  while (TEvent{xcb_poll_for_event(c)}) {
  }
  return round;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 3) {
    std::fprintf(stderr, "usage: %s ROUNDS PROGRAM [ARGS...]\n", argv[0]);
    return 2;
  }
  const int rounds = std::atoi(argv[1]);
  xcb_connection_t* c = xcb_connect(nullptr, nullptr);
  if (xcb_connection_has_error(c) != 0) {
    std::fprintf(stderr, "no X display\n");
    return 1;
  }
  const xcb_query_extension_reply_t* damageExt = xcb_get_extension_data(c, &xcb_damage_id);
  if (damageExt == nullptr || damageExt->present == 0) {
    std::fprintf(stderr, "the X server has no DAMAGE extension\n");
    return 1;
  }
  // The extension answers only to a client that has told its version.
  std::free(xcb_damage_query_version_reply(c, xcb_damage_query_version(c, 1, 1), nullptr));
  const std::uint8_t damageEvent = damageExt->first_event + XCB_DAMAGE_NOTIFY;
  const xcb_window_t root = xcb_setup_roots_iterator(xcb_get_setup(c)).data->root;
  const std::uint32_t mask = XCB_EVENT_MASK_SUBSTRUCTURE_NOTIFY;
  xcb_change_window_attributes(c, root, XCB_CW_EVENT_MASK, &mask);
  xcb_flush(c);
  for (int i = 0; i < rounds; ++i) {
    const TRound round = TimeOneStart(c, root, damageEvent, argv + 2);
    if (!round.MappedMs) {
      std::fprintf(stderr, "%s: no window within %lld s\n", argv[2],
                   static_cast<long long>(MapTimeout.count()));
      return 1;
    }
    if (round.PaintedMs) {
      std::printf("%.1f %.1f\n", *round.MappedMs, *round.PaintedMs);
    } else {
      std::printf("%.1f nan\n", *round.MappedMs);
    }
    std::fflush(stdout);
  }
  xcb_disconnect(c);
  return 0;
}
