// Time to the first window without polling: starts a program ROUNDS times on
// the X display and takes the time from fork to the window manager's mapping
// of its first managed top-level window (a MapNotify on the root window),
// then ends the program. Prints one time in milliseconds per line.
//
//   recmon-bench-first-map ROUNDS PROGRAM [ARGS...]

#include <fcntl.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>
#include <xcb/xcb.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <thread>

namespace {

struct TFree {
  void operator()(void* p) const { std::free(p); }
};

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
  const xcb_window_t root = xcb_setup_roots_iterator(xcb_get_setup(c)).data->root;
  const std::uint32_t mask = XCB_EVENT_MASK_SUBSTRUCTURE_NOTIFY;
  xcb_change_window_attributes(c, root, XCB_CW_EVENT_MASK, &mask);
  xcb_flush(c);
  for (int round = 0; round < rounds; ++round) {
    const auto started = std::chrono::steady_clock::now();
    const pid_t pid = Start(argv + 2);
    bool mapped = false;
    while (!mapped) {
      const std::unique_ptr<xcb_generic_event_t, TFree> event(xcb_wait_for_event(c));
      if (!event) {
        return 1;
      }
      if ((event->response_type & 0x7F) == XCB_MAP_NOTIFY) {
        const auto* map = reinterpret_cast<const xcb_map_notify_event_t*>(event.get());
        mapped = map->override_redirect == 0;
      }
    }
    const std::chrono::duration<double, std::milli> elapsed =
        std::chrono::steady_clock::now() - started;
    std::printf("%.1f\n", elapsed.count());
    std::fflush(stdout);
    ::kill(pid, SIGTERM);
    ::waitpid(pid, nullptr, 0);
    std::this_thread::sleep_for(std::chrono::milliseconds(200));
  }
  xcb_disconnect(c);
  return 0;
}
